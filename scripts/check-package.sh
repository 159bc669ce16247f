#!/usr/bin/env bash
# Checks a built package (scripts/package.sh first): control fields, file
# layout, lintian, the AppStream and desktop-entry validators, and an install,
# start and removal on a fresh Debian 12 in a chroot made with debootstrap.
# Without a way to make the chroot (no debootstrap, no mirror, not root) the
# package is unpacked into a temporary root with dpkg -x instead, and the
# programs there are run on this machine's libraries.
#   scripts/check-package.sh [velmora_X_ARCH.deb] [--no-chroot]
# VELMORA_CHROOT_BASE=DIR copies an unused debootstrap of bookworm instead.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=""
chroot_wanted=1
for a in "$@"; do
  case "$a" in
    --no-chroot) chroot_wanted=0 ;;
    *) deb="$a" ;;
  esac
done
[ -n "$deb" ] || deb=$(ls -t velmora_*.deb 2>/dev/null | head -n 1 || true)
[ -f "$deb" ] || { echo "no package: run scripts/package.sh first" >&2; exit 1; }
deb=$(realpath "$deb")
bash scripts/deps.sh lintian appstream desktop-file-utils debootstrap

id=io.github.velmora.Velmora
failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@" >/dev/null 2>&1; then pass "$what"; else fail "$what"; fi; }

work=$(mktemp -d)
root=""
cleanup() {
  if [ -n "$root" ]; then
    umount "$root/proc" 2>/dev/null || true
    umount "$root/downloads" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== $(basename "$deb")"
info=$(dpkg-deb --info "$deb")
field() { dpkg-deb --field "$deb" "$1"; }
check "Package is velmora" test "$(field Package)" = velmora
check "Version is 1.13" test "$(field Version)" = 1.13
check "Architecture is $(dpkg --print-architecture)" test "$(field Architecture)" = "$(dpkg --print-architecture)"
depends=$(field Depends)
echo "     Depends: $depends"
for need in fonts-noto-cjk qt6-translations-l10n libqt6widgets6 libqt6network6 libqt6dbus6 libc6 libstdc++6; do
  check "depends on $need" grep -qF -e ", $need," -e ", $need (" <<<", $depends,"
done
check "has a description" grep -q "^ Description: find and fetch anime" <<<"$info"

mkdir -p "$work/x"
dpkg-deb -x "$deb" "$work/x"
x="$work/x"
for f in usr/bin/velmora usr/bin/velmora-scan usr/bin/velmora-fetch usr/bin/velmora-demo-server \
         usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/$id.svg \
         usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/64x64/apps/$id.png \
         usr/share/icons/hicolor/128x128/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png \
         usr/share/man/man1/velmora.1.gz usr/share/man/man1/velmora-scan.1.gz \
         usr/share/man/man1/velmora-fetch.1.gz usr/share/man/man1/velmora-demo-server.1.gz \
         usr/share/doc/velmora/copyright usr/share/doc/velmora/changelog.gz; do
  check "holds /$f" test -s "$x/$f"
done
for size in 48 64 128 256; do
  check "${size}px icon is ${size}x${size}" grep -q "PNG image data, $size x $size" \
    <<<"$(file "$x/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")"
done
check "nothing outside /usr" test "$(ls "$x")" = usr
check "programs are stripped" sh -c "file '$x'/usr/bin/* | grep -v -q 'not stripped' && ! file '$x'/usr/bin/* | grep -q 'not stripped'"
check "desktop entry names the icon $id" grep -qx "Icon=$id" "$x/usr/share/applications/$id.desktop"
check "metainfo launches $id.desktop" grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "$x/usr/share/metainfo/$id.metainfo.xml"

echo "== validators"
if desktop-file-validate "$x/usr/share/applications/$id.desktop"; then pass "desktop-file-validate"; else fail "desktop-file-validate"; fi
if appstreamcli validate --no-net "$x/usr/share/metainfo/$id.metainfo.xml"; then pass "appstreamcli validate --no-net"; else fail "appstreamcli validate --no-net"; fi
# The screenshot the metainfo names is a file of this repository.
shot=$(sed -n 's#.*<image[^>]*>.*/main/\(.*\)</image>.*#\1#p' "$x/usr/share/metainfo/$id.metainfo.xml")
check "screenshot $shot is in the repository" test -s "$shot"

echo "== lintian"
lintian_out="$work/lintian.txt"
lintian --fail-on error --display-info "$deb" | tee "$lintian_out" || true
if grep -q '^E:' "$lintian_out"; then fail "lintian: errors"; else pass "lintian: no errors"; fi

installed_run() {  # runs a command inside the chroot
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"
}

mirror() {  # the Debian mirror this machine's apt uses for bookworm
  local m
  m=$(grep -h -m1 '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' | head -n 1 || true)
  [ -n "$m" ] || m=$(grep -h -m1 '^deb ' /etc/apt/sources.list 2>/dev/null | awk '{print $2}' || true)
  echo "$m"
}

chroot_ok=0
if [ "$chroot_wanted" = 1 ] && [ "$(id -u)" = 0 ] && [ -n "$(mirror)" ]; then
  echo "== fresh Debian 12 (debootstrap from $(mirror))"
  root="$work/root"
  # VELMORA_CHROOT_BASE: a fresh, unused debootstrap of bookworm to copy instead of making one.
  if [ -n "${VELMORA_CHROOT_BASE:-}" ] && cp -a "$VELMORA_CHROOT_BASE" "$root"; then
    chroot_ok=1
  elif debootstrap --variant=minbase bookworm "$root" "$(mirror)" >"$work/debootstrap.log" 2>&1; then
    chroot_ok=1
  else
    tail -5 "$work/debootstrap.log"
    echo "debootstrap failed: falling back to dpkg -x"
  fi
fi

if [ "$chroot_ok" = 1 ]; then
  mount -t proc proc "$root/proc"
  cp "$deb" "$root/tmp/"
  if installed_run sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$deb")" \
      >"$work/install.log" 2>&1; then
    pass "apt-get install ./$(basename "$deb") with its dependencies"
  else
    tail -20 "$work/install.log"; fail "apt-get install"
  fi
  check "velmora is on the PATH" installed_run sh -c 'command -v velmora'
  for p in velmora velmora-scan velmora-fetch velmora-demo-server; do
    check "$p --version" sh -c "[ \"\$(chroot '$root' env -i PATH=/usr/bin:/bin $p --version)\" = '$p 1.13' ]"
    check "man $p is installed" test -s "$root/usr/share/man/man1/$p.1.gz"
  done
  # It starts: the main window comes up offscreen and runs until stopped.
  status=0
  installed_run env QT_QPA_PLATFORM=offscreen VELMORA_KIND=anime timeout 5 velmora >"$work/start.log" 2>&1 || status=$?
  if [ "$status" = 124 ]; then pass "velmora starts and keeps running"; else cat "$work/start.log"; fail "velmora start (status $status)"; fi
  # A real download from the installed demo server, and the address it keeps.
  installed_run sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq attr' >/dev/null 2>&1 || true
  # The free-space check needs a mount point it can see: inside a chroot the
  # root's own device is not one, so the file goes to a folder mounted there.
  mkdir -p "$work/downloads" "$root/downloads"
  mount --bind "$work/downloads" "$root/downloads"
  cat >"$root/tmp/fetch.sh" <<'SCRIPT'
exec 3< <(exec velmora-demo-server --port 0 --rate 0)
server=$!
read -r _ _ _ base <&3          # "velmora-demo-server listening on http://127.0.0.1:PORT/"
url="${base}files/anime/hoshizora-03.MKV"
velmora-fetch "$url" --save /downloads/ep03.mkv
kill "$server"
[ "$(getfattr --absolute-names --only-values -n user.xdg.origin.url /downloads/ep03.mkv)" = "$url" ] && echo "origin: $url"
SCRIPT
  if installed_run bash /tmp/fetch.sh >"$work/fetch.log" 2>&1 \
      && grep -qx 'result: complete 49152' "$work/fetch.log" && grep -q '^origin: ' "$work/fetch.log"; then
    pass "velmora-fetch from velmora-demo-server, origin kept: $(tr '\n' ' ' <"$work/fetch.log")"
  else
    cat "$work/fetch.log"; fail "velmora-fetch from velmora-demo-server"
  fi
  installed_run dpkg -L velmora >"$work/files.txt"
  if installed_run sh -c 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora' >"$work/remove.log" 2>&1; then
    pass "apt-get remove velmora"
  else
    cat "$work/remove.log"; fail "apt-get remove"
  fi
  check "velmora is no longer known to dpkg" sh -c "! chroot '$root' dpkg-query -W -f='\${Status}' velmora 2>/dev/null | grep -q installed"
  left=$(while read -r f; do [ -f "$root$f" ] && echo "$f"; done <"$work/files.txt" || true)
  if [ -z "$left" ]; then pass "no file of the package is left"; else echo "$left"; fail "files left behind"; fi
  # Nothing named after the program anywhere (dependencies' own files may stay).
  installed_run sh -c 'DEBIAN_FRONTEND=noninteractive apt-get autoremove -y -qq' >/dev/null 2>&1 || true
  extra=$(cd "$root" && find . -xdev -path ./proc -prune -o -path ./tmp -prune -o -iname '*velmora*' -print)
  if [ -z "$extra" ]; then pass "after remove and autoremove nothing named velmora is left"; else echo "$extra" | head -20; fail "left after remove"; fi
else
  echo "== dpkg -x into a temporary root (no chroot)"
  for p in velmora velmora-scan velmora-fetch velmora-demo-server; do
    check "$p --version from the unpacked root" sh -c "[ \"\$(env -u DISPLAY -u QT_QPA_PLATFORM '$x/usr/bin/$p' --version)\" = '$p 1.13' ]"
  done
  missing=$(ldd "$x"/usr/bin/* | grep 'not found' || true)
  if [ -z "$missing" ]; then pass "every library the programs need is found"; else echo "$missing"; fail "libraries missing"; fi
fi

echo
if [ "$failures" = 0 ]; then echo "package check: all passed"; else echo "package check: $failures failed"; exit 1; fi
