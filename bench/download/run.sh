#!/bin/bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Download benchmark: 1 GiB from nginx on loopback into the page cache, by
# velmora-fetch, velmora-fetch --window (the real download window under Xvfb),
# curl and wget, in one run. Prints one table: medians of wall time, CPU time
# and peak RSS, and the ratios against curl. Then peak RSS against file size
# and the CPU spent waiting on a silent server.
# Usage: bench/download/run.sh [build-folder]   (RUNS=5, WINDOW_RUNS=RUNS by default)
# PROFILE=1 adds a perf profile of velmora-fetch and of the window: the
# functions that take the most CPU time, and the share of the kernel.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build-bench}
RUNS=${RUNS:-5}
WINDOW_RUNS=${WINDOW_RUNS:-$RUNS}
WORK=$(mktemp -d /tmp/velmora-bench.XXXXXX)
chmod 755 "$WORK"  # nginx's workers read from it
NGINX_PORT=18501
STALL_PORT=18502
DISPLAY_NUMBER=${DISPLAY_NUMBER:-97}
cleanup() {
    [ -n "${NGINX_PID:-}" ] && kill "$NGINX_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "${STALL_PID:-}" ] && kill "$STALL_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

. "$ROOT/bench/download/common.sh"
need nginx nginx-light
need curl curl
need wget wget
need Xvfb xvfb
need bc bc
[ -x /usr/bin/time ] || need /usr/bin/time time
[ "${PROFILE:-0}" = 1 ] && need perf linux-perf
# The installed service is not wanted: the benchmark runs its own nginx.
command -v systemctl >/dev/null && systemctl stop nginx 2>/dev/null

[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target velmora-fetch velmora-bench-server -j2 >/dev/null || exit 1
FETCH=$BUILD/bin/velmora-fetch

mkdir -p "$WORK/www" "$WORK/nginx"
head -c $((1 << 30)) /dev/urandom >"$WORK/www/1g.bin"
head -c $((64 << 20)) "$WORK/www/1g.bin" >"$WORK/www/64m.bin"
# On the disk before anything is measured: the write-back of 1 GiB just made
# would otherwise fall on the first runs, and not on every tool alike.
sync "$WORK/www/1g.bin" "$WORK/www/64m.bin"
URL=http://127.0.0.1:$NGINX_PORT/1g.bin
SUM=$(sha256sum "$WORK/www/1g.bin" | cut -d' ' -f1)
# The same file under a release's name with its CRC32, and with a digest
# header from the server: what checking a download costs.
CRC=$(python3 -c 'import sys, zlib
c = 0
with open(sys.argv[1], "rb") as f:
    for b in iter(lambda: f.read(1 << 20), b""):
        c = zlib.crc32(b, c)
print("%08X" % c)' "$WORK/www/1g.bin")
ln -f "$WORK/www/1g.bin" "$WORK/www/ep [$CRC].bin"
REPR=$(python3 -c 'import base64, sys; print(base64.b64encode(bytes.fromhex(sys.argv[1])).decode())' "$SUM")
cat >"$WORK/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path $WORK/nginx; proxy_temp_path $WORK/nginx; fastcgi_temp_path $WORK/nginx;
    uwsgi_temp_path $WORK/nginx; scgi_temp_path $WORK/nginx;
    sendfile on;
    server {
        listen 127.0.0.1:$NGINX_PORT; root $WORK/www;
        location = /digest/1g.bin { alias $WORK/www/1g.bin; add_header Repr-Digest "sha-256=:$REPR:"; }
    }
}
CONF
nginx -c "$WORK/nginx/nginx.conf" &
NGINX_PID=$!
Xvfb ":$DISPLAY_NUMBER" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$NGINX_PORT/64m.bin" && break; sleep 0.1; done

# measure NAME CMD...: appends "wall cpu rss_kib" of one run to $WORK/NAME.runs;
# the file is looked for in $OUT (out.bin by default).
measure() {
    local name=$1; shift
    local out=${OUT:-$WORK/out.bin}
    rm -f "$out"
    local t0 t1
    t0=$(date +%s.%N)
    /usr/bin/time -f "%U %S %M" -o "$WORK/time" "$@" >"$WORK/$name.out" 2>&1
    t1=$(date +%s.%N)
    read -r U S M < <(tail -1 "$WORK/time")
    if [ "$(sha256sum "$out" 2>/dev/null | cut -d' ' -f1)" != "$SUM" ]; then
        echo "$name: the file arrived wrong" >&2
        return
    fi
    if [ -n "${VERIFY:-}" ] && ! grep -q '^verify: ok' "$WORK/$name.out"; then
        echo "$name: the file was not found right" >&2
        return
    fi
    echo "$(echo "$t1 - $t0" | bc -l) $(echo "$U + $S" | bc -l) $M" >>"$WORK/$name.runs"
    rm -f "$out"
}

median() {  # median FILE COLUMN
    sort -g -k"$2","$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The tools take turns, so a neighbour's load falls on all of them alike.
for i in $(seq "$RUNS"); do
    measure curl curl -s -o "$WORK/out.bin" "$URL"
    measure wget wget -q -O "$WORK/out.bin" "$URL"
    measure fetch "$FETCH" "$URL" --save "$WORK/out.bin"
    VERIFY=1 OUT="$WORK/ep [$CRC].bin" measure fetchcrc "$FETCH" "http://127.0.0.1:$NGINX_PORT/ep%20%5B$CRC%5D.bin" \
        --save "$WORK/ep [$CRC].bin"
    VERIFY=1 measure fetchsha "$FETCH" "http://127.0.0.1:$NGINX_PORT/digest/1g.bin" --save "$WORK/out.bin"
    if [ "$i" -le "$WINDOW_RUNS" ]; then
        measure window env DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb "$FETCH" "$URL" --save "$WORK/out.bin" --window
    fi
done

echo "1 GiB from nginx on loopback into the page cache; medians of $RUNS runs ($WINDOW_RUNS for the window)"
CW=$(median "$WORK/curl.runs" 1)
CC=$(median "$WORK/curl.runs" 2)
printf '| %-28s | %9s | %8s | %9s | %10s | %9s |\n' what "wall (s)" "CPU (s)" "peak RSS" "throughput" "CPU"
printf '| %-28s | %9s | %8s | %9s | %10s | %9s |\n' "" "" "" "(MB)" "vs curl" "vs curl"
printf '|%s|%s|%s|%s|%s|%s|\n' ------------------------------ ----------- ---------- ----------- ------------ -----------
for pair in "curl -o file:curl" "wget -O file:wget" "velmora-fetch:fetch" "velmora-fetch --window:window"; do
    label=${pair%%:*}; name=${pair##*:}
    if [ ! -s "$WORK/$name.runs" ]; then
        printf '| %-28s | %9s | %8s | %9s | %10s | %9s |\n' "$label" - - - - -
        continue
    fi
    W=$(median "$WORK/$name.runs" 1); C=$(median "$WORK/$name.runs" 2); R=$(median "$WORK/$name.runs" 3)
    printf '| %-28s | %9.2f | %8.2f | %9.1f | %10.2f | %9.2f |\n' "$label" "$W" "$C" "$(echo "$R / 1024" | bc -l)" \
        "$(echo "$CW / $W" | bc -l)" "$(echo "$C / $CC" | bc -l)"
done
echo "(targets: velmora-fetch throughput >= 2.4 and CPU <= 0.6 of curl's; the window >= 2.0 and <= 0.7)"

# Checking the file as it comes, against the same download unchecked.
FW=$(median "$WORK/fetch.runs" 1); FC=$(median "$WORK/fetch.runs" 2)
for pair in "CRC32 in the name:fetchcrc" "Repr-Digest sha-256:fetchsha"; do
    label=${pair%%:*}; name=${pair##*:}
    [ -s "$WORK/$name.runs" ] || { echo "velmora-fetch checking $label: -"; continue; }
    W=$(median "$WORK/$name.runs" 1); C=$(median "$WORK/$name.runs" 2)
    printf 'velmora-fetch checking %s: wall %.2f s (%.2f of unchecked), CPU %.2f s (%+.2f s)\n' \
        "$label" "$W" "$(echo "$W / $FW" | bc -l)" "$C" "$(echo "$C - $FC" | bc -l)"
done

# Peak RSS against file size.
/usr/bin/time -f "%M" -o "$WORK/time64" "$FETCH" "http://127.0.0.1:$NGINX_PORT/64m.bin" --save "$WORK/64b.bin" >/dev/null 2>&1
printf 'peak RSS of velmora-fetch: 64 MiB file %.1f MB, 1 GiB file %.1f MB (target < 80 MB, flat)\n' \
    "$(echo "$(tail -1 "$WORK/time64") / 1024" | bc -l)" "$(echo "$(median "$WORK/fetch.runs" 3) / 1024" | bc -l)"
rm -f "$WORK/64b.bin"

# A silent server: the test server answers the probe, then never the length request.
"$BUILD/bin/velmora-bench-server" $STALL_PORT >/dev/null &
STALL_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$STALL_PORT/__log" && break; sleep 0.1; done
"$FETCH" "http://127.0.0.1:$STALL_PORT/stall.bin" --save "$WORK/stall.bin" >/dev/null 2>&1 &
FP=$!
sleep 1
read -r -a A </proc/$FP/stat; C0=$((A[13] + A[14]))
sleep 5
read -r -a A </proc/$FP/stat; C1=$((A[13] + A[14]))
kill $FP; wait $FP 2>/dev/null
printf 'CPU of velmora-fetch waiting on a silent server: %.2f %% of a core (target ~0)\n' \
    "$(echo "($C1 - $C0) * 100 / $(getconf CLK_TCK) / 5" | bc -l)"

# Where the time goes: one profiled run each, with call stacks from DWARF so
# that libraries built without frame pointers are followed too.
profile() {  # profile NAME CMD...
    local name=$1; shift
    rm -f "$WORK/out.bin"
    perf record -q -F 999 --call-graph dwarf,16384 -o "$WORK/$name.perf" -- "$@" >/dev/null 2>&1
    rm -f "$WORK/out.bin"
    echo "== $name: CPU by library, then the busiest functions (self time)"
    perf report -i "$WORK/$name.perf" --no-children --sort dso --stdio -g none 2>/dev/null | grep -E '^ +[0-9]' | head -6
    perf report -i "$WORK/$name.perf" --no-children --sort symbol --stdio -g none 2>/dev/null | grep -E '^ +[0-9]' \
        | head -25 | cut -c1-110
    echo "== $name: inclusive time of the program's own steps"
    perf report -i "$WORK/$name.perf" --children --sort symbol --stdio -g none 2>/dev/null | grep -E '^ +[0-9]' \
        | grep -E 'velmora::|QWidget::event|paintAndFlush|curl_|__libc_recv|__GI___libc_write' | head -25 | cut -c1-110
}
if [ "${PROFILE:-0}" = 1 ]; then
    profile velmora-fetch "$FETCH" "$URL" --save "$WORK/out.bin"
    profile velmora-fetch-window env DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb "$FETCH" "$URL" --save "$WORK/out.bin" --window
fi

# The throttled host, with its own servers.
[ "${THROTTLED:-1}" = 1 ] && "$ROOT/bench/download/throttled.sh" "$BUILD"
