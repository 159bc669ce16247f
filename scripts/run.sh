#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the program and the demo server (not the tests: the first window
# comes sooner), starts the server on 127.0.0.1:8417 and runs Velmora against
# it; the server stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
bash scripts/build.sh --target velmora --target velmora-demo-server
port="${VELMORA_DEMO_PORT:-8417}"
./build/bin/velmora-demo-server --port "$port" &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT INT TERM
export VELMORA_CATALOGUE_SERVER="${VELMORA_CATALOGUE_SERVER:-127.0.0.1:$port}"
export VELMORA_SEARCH_SERVER="${VELMORA_SEARCH_SERVER:-127.0.0.1:$port}"
./build/bin/velmora "$@"
