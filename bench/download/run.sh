#!/bin/bash
# Download benchmark: velmora-fetch against curl on the same loopback
# servers (the test server, and nginx when it can be had), memory, the
# length request's cost and the CPU spent waiting on a silent server.
# Usage: bench/download/run.sh [build-folder]
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build-bench}
WORK=$(mktemp -d /tmp/velmora-bench.XXXXXX)
chmod 755 "$WORK"  # nginx's workers read from it
PORT=18500
NGINX_PORT=18501
trap 'kill $SERVER_PID 2>/dev/null; [ -n "${NGINX_PID:-}" ] && kill $NGINX_PID 2>/dev/null; rm -rf "$WORK"' EXIT

[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target velmora-fetch velmora-bench-server -j2 >/dev/null || exit 1
FETCH=$BUILD/bin/velmora-fetch

"$BUILD/bin/velmora-bench-server" $PORT >/dev/null &
SERVER_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$PORT/__log" && break; sleep 0.1; done

# run NAME CMD...: wall seconds, CPU seconds and peak RSS (KiB) of one command.
run() {
    local name=$1; shift
    local t0 t1
    t0=$(date +%s.%N)
    /usr/bin/time -f "%U %S %M" -o "$WORK/$name.time" "$@" >"$WORK/$name.out" 2>&1
    t1=$(date +%s.%N)
    read -r U S M < <(tail -1 "$WORK/$name.time")
    WALL=$(echo "$t1 - $t0" | bc -l)
    CPU=$(echo "$U + $S" | bc -l)
    RSS=$M
}

compare() {  # compare LABEL URL SHA
    # Best of three runs each, alternating, on a machine others share.
    local label=$1 url=$2 i
    VW=999; VC=999; CW=999; CC=999
    for i in 1 2 3; do
        rm -f "$WORK/v.bin" "$WORK/c.bin"
        run velmora "$FETCH" "$url" --save "$WORK/v.bin"
        (( $(echo "$WALL < $VW" | bc -l) )) && VW=$WALL
        (( $(echo "$CPU < $VC" | bc -l) )) && VC=$CPU
        VR=$RSS
        run curl curl -s -o "$WORK/c.bin" "$url"
        (( $(echo "$WALL < $CW" | bc -l) )) && CW=$WALL
        (( $(echo "$CPU < $CC" | bc -l) )) && CC=$CPU
    done
    tail -1 "$WORK/velmora.out"
    cmp -s "$WORK/v.bin" "$WORK/c.bin" && SAME=yes || SAME=NO
    printf '%s: velmora %.2f s (%.0f MB/s, %.2f s CPU, %d MB RSS), curl %.2f s (%.0f MB/s, %.2f s CPU); same bytes: %s\n' \
        "$label" "$VW" "$(echo "1024 / $VW" | bc -l)" "$VC" $((VR / 1024)) "$CW" "$(echo "1024 / $CW" | bc -l)" "$CC" "$SAME"
    printf '  throughput ratio velmora/curl: %.2f (target >= 0.9)\n' "$(echo "$CW / $VW" | bc -l)"
    printf '  CPU seconds ratio velmora/curl: %.2f (target <= 1.5)\n' "$(echo "$VC / ($CC + 0.001)" | bc -l)"
    rm -f "$WORK/v.bin" "$WORK/c.bin"
}

echo "== test server, 1 GiB generated file"
compare "test server" "http://127.0.0.1:$PORT/1g.bin"

echo "== peak RSS"
run rss64 "$FETCH" "http://127.0.0.1:$PORT/64m.bin" --save "$WORK/64m.bin"; R64=$RSS
rm -f "$WORK/64m.bin"
run rss1g "$FETCH" "http://127.0.0.1:$PORT/1g.bin" --save "$WORK/1g.bin"; R1G=$RSS
rm -f "$WORK/1g.bin"
printf '64 MiB: %.1f MB, 1 GiB: %.1f MB, difference %.1f MB (target < 80 MB, difference < 5 MB)\n' \
    "$(echo "$R64 / 1024" | bc -l)" "$(echo "$R1G / 1024" | bc -l)" "$(echo "($R1G - $R64) / 1024" | bc -l)"

echo "== length request (test server log: probe, length request, range request per download)"
curl -s "http://127.0.0.1:$PORT/__log" | awk '$5=="length" { printf "  length request for %s: %d body bytes sent\n", $1, $4 }'
echo "  (target for the length request: <= 65536)"

echo "== waiting on a silent server for 10 s"
"$FETCH" "http://127.0.0.1:$PORT/stall.bin" --save "$WORK/stall.bin" >/dev/null 2>&1 &
FP=$!
sleep 1
read -r -a A </proc/$FP/stat; C0=$((A[13] + A[14]))
sleep 10
read -r -a A </proc/$FP/stat; C1=$((A[13] + A[14]))
kill $FP; wait $FP 2>/dev/null
TCK=$(getconf CLK_TCK)
printf '  CPU while stalled: %.2f %% of a core (target < 2 %%)\n' "$(echo "($C1 - $C0) * 100 / $TCK / 10" | bc -l)"

echo "== nginx, 1 GiB file"
if ! command -v nginx >/dev/null && [ "$(id -u)" = 0 ]; then
    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nginx-light >/dev/null 2>&1) \
        || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nginx >/dev/null 2>&1
    systemctl stop nginx 2>/dev/null; service nginx stop 2>/dev/null
fi
if command -v nginx >/dev/null; then
    mkdir -p "$WORK/www" "$WORK/nginx"
    head -c $((1 << 30)) /dev/urandom >"$WORK/www/1g.bin"
    cat >"$WORK/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
events { worker_connections 64; }
http {
    log_format bench '\$request_uri "\$http_range" \$status \$body_bytes_sent';
    access_log $WORK/nginx/access.log bench;
    client_body_temp_path $WORK/nginx; proxy_temp_path $WORK/nginx; fastcgi_temp_path $WORK/nginx;
    uwsgi_temp_path $WORK/nginx; scgi_temp_path $WORK/nginx;
    sendfile on;
    server { listen 127.0.0.1:$NGINX_PORT; root $WORK/www; }
}
CONF
    nginx -c "$WORK/nginx/nginx.conf" &
    NGINX_PID=$!
    for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$NGINX_PORT/" && break; sleep 0.1; done
    compare "nginx" "http://127.0.0.1:$NGINX_PORT/1g.bin"
    echo "  nginx access log (uri, range, status, body bytes sent; curl's request last):"
    sed 's/^/    /' "$WORK/nginx/access.log"
    echo "  (the second line is the length request; target <= 65536)"
else
    echo "  nginx not available: skipped"
fi
