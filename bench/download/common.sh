# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# What the download benchmarks share; sourced, not run.

need() {  # need COMMAND PACKAGE: installs the package when the command is missing
    command -v "$1" >/dev/null && return 0
    [ "$(id -u)" = 0 ] || { echo "missing $1 (package $2)"; exit 1; }
    [ -n "${APT_UPDATED:-}" ] || { apt-get update -qq; APT_UPDATED=1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$2" >/dev/null
    command -v "$1" >/dev/null || { echo "could not install $2"; exit 1; }
}
