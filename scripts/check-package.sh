#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks Velmora as a distribution and a user meet it, on Debian 12 roots made
# with debootstrap from the mirror apt uses here:
#   - reuse lint on the tree;
#   - the source package builds in a clean root with only its Build-Depends
#     (apt-get build-dep ./), twice in two folders from the last commit, and
#     the two sets of packages are byte for byte the same;
#   - lintian prints no error or warning; control fields, file layout, the
#     AppStream and desktop-entry validators;
#   - in a fresh root: velmora alone installs, answers --version and, under
#     Xvfb with --catalogue-server pointing at a demo server (through a small
#     logging proxy on the host), fetches the catalogue list when Load is
#     pressed; then velmora-tools: velmora-scan prints the tree and
#     velmora-fetch downloads into a plain folder of the root (sha256 checked);
#     removal leaves nothing behind.
# Needs root, debootstrap and the mirror; takes minutes. CI does not run it.
#   sudo scripts/check-package.sh [--keep]   (--keep: leave the roots for a look)
# VELMORA_CHROOT_BASE=DIR copies an unused debootstrap of bookworm instead of
# making one. The packages built are left in the top folder.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
keep=0
[ "${1:-}" = "--keep" ] && keep=1
[ "$(id -u)" = 0 ] || { echo "check-package.sh needs root (debootstrap, chroot)" >&2; exit 1; }
bash scripts/deps.sh check attr python3

failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@" >/dev/null 2>&1; then pass "$what"; else fail "$what"; fi; }

work=$(mktemp -d /var/tmp/velmora-check.XXXXXX)
pids=()
mounted=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || true; done
  if [ "$keep" = 1 ]; then echo "roots kept in $work"; else rm -rf --one-file-system "$work"; fi
}
trap cleanup EXIT

in_root() {  # ROOT COMMAND...: runs a command inside a root, as root
  local r=$1; shift
  chroot "$r" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}
as_tester() {  # ROOT COMMAND...: runs a command inside a root as the user "tester"
  local r=$1; shift
  chroot --userspec=tester:tester "$r" env -i PATH=/usr/bin:/bin HOME=/home/tester \
    USER=tester LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/tester-run "$@"
}
mirror() {  # the Debian mirror this machine's apt uses for bookworm
  local m
  m=$(grep -h -m1 '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' | head -n 1 || true)
  [ -n "$m" ] || m=$(grep -h -m1 '^deb ' /etc/apt/sources.list 2>/dev/null | awk '{print $2}' || true)
  echo "$m"
}
new_root() {  # DIR: a fresh bookworm root with /proc mounted
  if [ -n "${VELMORA_CHROOT_BASE:-}" ]; then
    cp -a "$VELMORA_CHROOT_BASE" "$1"
  elif [ -d "$work/base" ]; then
    cp -a "$work/base" "$1"
  else
    debootstrap --variant=minbase bookworm "$work/base" "$(mirror)" >"$work/debootstrap.log" 2>&1 \
      || { tail -5 "$work/debootstrap.log"; echo "debootstrap failed" >&2; exit 1; }
    cp -a "$work/base" "$1"
  fi
  mount -t proc proc "$1/proc"
  mounted+=("$1/proc")
  in_root "$1" apt-get update -qq >/dev/null
}

echo "== licence"
if reuse lint >"$work/reuse.log" 2>&1; then pass "reuse lint"; else tail -15 "$work/reuse.log"; fail "reuse lint"; fi

echo "== source build in a clean root, twice"
epoch=$(git log -1 --format=%ct)
version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
build=$work/build
new_root "$build"
# Two folders of different names: the packages must not depend on where they
# were built.
for d in a bb; do
  mkdir -p "$build/src/$d/velmora-$upstream"
  git archive HEAD | tar -x -C "$build/src/$d/velmora-$upstream"
done
git archive --prefix="velmora-$upstream/" HEAD -- . ':!debian' | xz -9 >"$build/src/a/velmora_$upstream.orig.tar.xz"
if in_root "$build" sh -c "cd /src/a/velmora-$upstream && apt-get build-dep -y -qq ./" >"$work/build-dep.log" 2>&1; then
  pass "apt-get build-dep ./ installs the Build-Depends"
else
  tail -20 "$work/build-dep.log"; fail "apt-get build-dep ./"
fi
# The first build makes the source package too, for lintian's source checks.
for d in a bb; do
  opts=-b
  [ "$d" = a ] && opts=""
  if in_root "$build" env SOURCE_DATE_EPOCH="$epoch" DEB_BUILD_OPTIONS="parallel=$(nproc)" \
      sh -c "cd /src/$d/velmora-$upstream && dpkg-buildpackage -us -uc $opts" >"$work/build-$d.log" 2>&1; then
    pass "dpkg-buildpackage -us -uc $opts in /src/$d"
  else
    tail -30 "$work/build-$d.log"; fail "dpkg-buildpackage in /src/$d"
  fi
done
debs=("$build/src/a"/*.deb)
for deb in "${debs[@]}"; do
  name=$(basename "$deb")
  if cmp -s "$deb" "$build/src/bb/$name"; then pass "$name is the same from both builds"; else fail "$name differs between the builds"; fi
done
cp "${debs[@]}" "$top/"
deb_app=$(ls "$build"/src/a/velmora_*.deb)
deb_tools=$(ls "$build"/src/a/velmora-tools_*.deb)

echo "== lintian"
if lintian --fail-on error,warning --display-info "$build"/src/a/velmora_*.changes | tee "$work/lintian.txt"; then
  pass "lintian: no error or warning"
else
  fail "lintian: errors or warnings"
fi

echo "== contents"
id=io.github.velmora.Velmora
field() { dpkg-deb --field "$1" "$2"; }
check "velmora is version $version" test "$(field "$deb_app" Version)" = "$version"
app_depends=$(field "$deb_app" Depends)
echo "     velmora Depends: $app_depends"
check "velmora depends on any CJK font" grep -qF \
  "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei | fonts-arphic-uming" <<<"$app_depends"
for need in qt6-translations-l10n libqt6widgets6 libqt6network6 libc6; do
  check "velmora depends on $need" grep -qE "(^|, )$need( |,|$)" <<<"$app_depends"
done
check "velmora does not depend on velmora-tools" bash -c "! grep -q velmora-tools <<<'$app_depends'"
x=$work/x
mkdir -p "$x/app" "$x/tools"
dpkg-deb -x "$deb_app" "$x/app"
dpkg-deb -x "$deb_tools" "$x/tools"
for f in usr/bin/velmora usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/icons/hicolor/256x256/apps/$id.png \
         usr/share/man/man1/velmora.1.gz usr/share/doc/velmora/copyright; do
  check "velmora holds /$f" test -s "$x/app/$f"
done
for p in velmora-scan velmora-fetch velmora-demo-server; do
  check "velmora-tools holds /usr/bin/$p and its manual" \
    test -s "$x/tools/usr/bin/$p" -a -s "$x/tools/usr/share/man/man1/$p.1.gz"
  check "velmora does not hold $p" test ! -e "$x/app/usr/bin/$p"
done
check "copyright is machine-readable" grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$x/app/usr/share/doc/velmora/copyright"
check "metainfo: project_license GPL-3.0-or-later" grep -q '<project_license>GPL-3.0-or-later</project_license>' \
  "$x/app/usr/share/metainfo/$id.metainfo.xml"
check "no build path in the programs" sh -c "! grep -rlF '/src/a/' '$x/app' '$x/tools'"
if desktop-file-validate "$x/app/usr/share/applications/$id.desktop"; then pass "desktop-file-validate"; else fail "desktop-file-validate"; fi
if appstreamcli validate --no-net "$x/app/usr/share/metainfo/$id.metainfo.xml"; then pass "appstreamcli validate --no-net"; else fail "appstreamcli validate --no-net"; fi

echo "== velmora alone in a fresh root"
root=$work/root
new_root "$root"
cp "$deb_app" "$deb_tools" "$root/tmp/"
in_root "$root" useradd --create-home tester
mkdir -p "$root/tmp/tester-run" && chroot "$root" chown tester:tester /tmp/tester-run && chmod 700 "$root/tmp/tester-run"
if in_root "$root" apt-get install -y -qq "/tmp/$(basename "$deb_app")" >"$work/install.log" 2>&1; then
  pass "apt-get install ./$(basename "$deb_app") with its dependencies"
else
  tail -20 "$work/install.log"; fail "apt-get install velmora"
fi
check "velmora-tools is not pulled in" sh -c "! chroot '$root' dpkg-query -W -f='\${Status}' velmora-tools 2>/dev/null | grep -q 'ok installed'"
check "velmora --version" test "$(as_tester "$root" velmora --version)" = "velmora $upstream"

# The demo server (from velmora-tools, unpacked on this machine) behind a proxy
# that logs each request, so the check can see what the program asked for;
# the root shares this machine's loopback.
exec 3< <(exec "$x/tools/usr/bin/velmora-demo-server" --port 0 --rate 0)
pids+=($!)
read -r _ _ _ demo <&3          # "velmora-demo-server listening on http://127.0.0.1:PORT/"
cat >"$work/proxy.py" <<'PY'
import http.server, sys, urllib.request, urllib.error
upstream = sys.argv[1].rstrip("/")
class Proxy(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        try:
            with urllib.request.urlopen(upstream + self.path) as r:
                status, body, ctype = r.status, r.read(), r.headers.get("Content-Type", "")
        except urllib.error.HTTPError as e:
            status, body, ctype = e.code, e.read(), "text/plain"
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, fmt, *args):
        print("GET " + self.path, flush=True)
server = http.server.HTTPServer(("127.0.0.1", 0), Proxy)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
exec 4< <(exec python3 "$work/proxy.py" "$demo")
pids+=($!)
read -r proxy_port <&4
# The log goes straight into the root, where the start script waits on it.
cat <&4 >"$root/tmp/proxy.log" &
pids+=($!)

if in_root "$root" apt-get install -y -qq --no-install-recommends xvfb xdotool >"$work/xvfb.log" 2>&1; then
  pass "Xvfb and xdotool for the start check"
else
  tail -5 "$work/xvfb.log"; fail "install xvfb"
fi
server_opt=(--catalogue-server "127.0.0.1:$proxy_port")
if ! as_tester "$root" velmora --help 2>&1 | grep -q -- --catalogue-server; then
  echo "     velmora has no --catalogue-server yet: the check sets VELMORA_CATALOGUE_SERVER instead"
  server_opt=()
fi
cat >"$root/tmp/start.sh" <<SCRIPT
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x900x24 -nolisten tcp 2>/dev/null)
xvfb=\$!
read -r dnum <&3
export DISPLAY=":\$dnum" VELMORA_KIND=anime VELMORA_CATALOGUE_SERVER=127.0.0.1:$proxy_port
$([ ${#server_opt[@]} -gt 0 ] && echo "unset VELMORA_CATALOGUE_SERVER")
velmora ${server_opt[*]} &
app=\$!
main=\$(timeout 30 xdotool search --sync --onlyvisible --name '^Velmora 1.13\$' | head -n 1)
xdotool mousemove --window "\$main" 667 87 click 1      # Load
timeout 30 grep -m1 -q 'GET /quillon/animes.txt' <(tail -n +1 -f /tmp/proxy.log) && echo "list requested"
kill \$app; wait \$app; kill \$xvfb
SCRIPT
as_tester "$root" bash /tmp/start.sh >"$work/start.log" 2>&1 || true
if grep -qx 'list requested' "$work/start.log"; then
  pass "velmora started under Xvfb and fetched the list from the server it was given"
else
  cat "$work/start.log"; fail "velmora start and load"
fi
if [ ${#server_opt[@]} -gt 0 ]; then
  check "the server given is kept in the settings" grep -rqF "127.0.0.1:$proxy_port" "$root/home/tester/.config"
fi

echo "== velmora-tools"
if in_root "$root" apt-get install -y -qq "/tmp/$(basename "$deb_tools")" >>"$work/install.log" 2>&1; then
  pass "apt-get install ./$(basename "$deb_tools")"
else
  tail -20 "$work/install.log"; fail "apt-get install velmora-tools"
fi
for p in velmora-scan velmora-fetch velmora-demo-server; do
  check "$p --version" test "$(as_tester "$root" "$p" --version)" = "$p $upstream"
done
as_tester "$root" velmora-scan "${demo}quillon/animes.txt" >"$work/scan.txt" 2>"$work/scan.err" || true
if grep -qP '^  \S.*\t$' "$work/scan.txt" && grep -qP '^    .*\thttp://127\.0\.0\.1:\d+/files/anime/' "$work/scan.txt"; then
  pass "velmora-scan prints the catalogue tree ($(wc -l <"$work/scan.txt") lines)"
else
  head -20 "$work/scan.txt" "$work/scan.err"; fail "velmora-scan"
fi
# A plain folder of the root's own file system: no bind mount, as a user has it.
url="${demo}files/anime/hoshizora-03.MKV"
as_tester "$root" mkdir -p /home/tester/Downloads
as_tester "$root" velmora-fetch "$url" --save /home/tester/Downloads/ep03.mkv >"$work/fetch.log" 2>&1 || true
want=$(curl -s "$url" | sha256sum | cut -d' ' -f1)
got=none
[ -f "$root/home/tester/Downloads/ep03.mkv" ] && got=$(sha256sum <"$root/home/tester/Downloads/ep03.mkv" | cut -d' ' -f1)
if grep -q '^result: complete ' "$work/fetch.log" && [ "$want" = "$got" ]; then
  pass "velmora-fetch into /home/tester/Downloads, sha256 $got"
else
  cat "$work/fetch.log"; fail "velmora-fetch into a plain folder (sha256 want $want, got $got)"
fi
origin=$(getfattr --absolute-names --only-values -n user.xdg.origin.url "$root/home/tester/Downloads/ep03.mkv" 2>/dev/null || true)
if [ "$origin" = "$url" ]; then pass "the file keeps its origin address"; else fail "origin address: '$origin'"; fi

echo "== removal"
in_root "$root" dpkg -L velmora velmora-tools >"$work/files.txt"
if in_root "$root" apt-get purge -y -qq velmora velmora-tools >"$work/remove.log" 2>&1; then
  pass "apt-get purge velmora velmora-tools"
else
  cat "$work/remove.log"; fail "apt-get purge"
fi
left=$(while read -r f; do [ -f "$root$f" ] && echo "$f"; done <"$work/files.txt" || true)
if [ -z "$left" ]; then pass "no file of the packages is left"; else echo "$left"; fail "files left behind"; fi
# Nothing named after the program outside the user's home (settings and
# downloads are the user's own).
extra=$(cd "$root" && find . -xdev \( -path ./proc -o -path ./tmp -o -path ./home \) -prune -o -iname '*velmora*' -print)
if [ -z "$extra" ]; then pass "after the purge nothing named velmora is left"; else echo "$extra" | head -20; fail "left after purge"; fi

echo
if [ "$failures" = 0 ]; then echo "package check: all passed"; else echo "package check: $failures failed"; exit 1; fi
