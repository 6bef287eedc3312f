#!/usr/bin/env bash
# Checks the Debian packages: their file lists and fields, and that the
# programs, manual pages and Python module unpacked from them work from
# their installed places. Builds them first (scripts/build-deb.sh, a full
# build with lintian) unless a folder of built packages is given.
# Usage: tests/package/check_deb.sh [DEBDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -ge 1 ]; then
  dir=$(realpath "$1")
else
  dir="$root/build-deb"
  bash "$root/scripts/build-deb.sh" "$dir"
fi
version=$(sed -n 's/^project(Pelmora VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")-1
app="$dir/pelmora_${version}_amd64.deb"
py="$dir/python3-pelmora_${version}_amd64.deb"
fail() { echo "check_deb: $*" >&2; exit 1; }
[ -f "$app" ] && [ -f "$py" ] || fail "no packages of version $version in $dir"

# Paths only, links as "path -> target".
list() { dpkg-deb -c "$1" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' | sed 's|^\./|/|'; }
list "$app" >"$dir/pelmora.list"
list "$py" >"$dir/python3-pelmora.list"
expect() {  # LISTFILE LINE...
  local l=$1; shift
  for want in "$@"; do grep -qxF -- "$want" "$l" || fail "$(basename "$l" .list) lacks $want"; done
}
expect "$dir/pelmora.list" \
  "/usr/bin/pelmora -> ../lib/pelmora/pelmora" "/usr/bin/pelmora-cli -> ../lib/pelmora/pelmora-cli" \
  /usr/lib/pelmora/pelmora /usr/lib/pelmora/pelmora-cli /usr/lib/pelmora/pelmora-cli-chart.so \
  /usr/lib/pelmora/Plugins/pearson7.so /usr/lib/pelmora/Plugins/xyformat.so /usr/lib/pelmora/Plugins/pngformat.so \
  "/usr/lib/pelmora/Data -> ../../share/pelmora/Data" \
  /usr/share/pelmora/Data/ions.xml /usr/share/pelmora/Data/izos.xml /usr/share/pelmora/Data/anomals.xml \
  /usr/share/pelmora/Data/source.xml /usr/share/pelmora/Data/aparat.xml \
  /usr/share/applications/pelmora.desktop /usr/share/icons/hicolor/scalable/apps/pelmora.svg \
  /usr/share/mime/packages/pelmora.xml \
  /usr/share/man/man1/pelmora.1.gz /usr/share/man/man1/pelmora-cli.1.gz /usr/share/doc/pelmora/copyright \
  /usr/lib/pelmora/translations/pelmora_en.qm /usr/share/doc/pelmora/manual/pl/index.html \
  /usr/share/doc/pelmora/manual/en/index.html /usr/share/doc/pelmora/manual/manual.css
for f in "$root"/examples/*.xml; do expect "$dir/pelmora.list" "/usr/share/pelmora/examples/$(basename "$f")"; done
expect "$dir/python3-pelmora.list" \
  /usr/lib/python3/dist-packages/pelmora/__init__.py /usr/lib/python3/dist-packages/pelmora/__init__.pyi \
  "/usr/lib/python3/dist-packages/pelmora/Data -> ../../../pelmora/Data" \
  "/usr/lib/python3/dist-packages/pelmora/Plugins -> ../../../pelmora/Plugins" \
  /usr/share/pelmora/examples/python/quickstart.py
grep -qE '^/usr/lib/python3/dist-packages/pelmora/_pelmora\.cpython-[0-9]+-x86_64-linux-gnu\.so$' \
  "$dir/python3-pelmora.list" || fail "python3-pelmora lacks the extension module"
# Nothing outside Debian's own places, and no file in both packages (dpkg
# would refuse to install the second).
if grep -vE '^/usr/(bin|lib/pelmora|lib/python3/dist-packages|share)/?' "$dir"/*.list | grep -v '/$'; then
  fail "files outside /usr/bin, /usr/lib/pelmora, dist-packages and /usr/share"
fi
dups=$(cat "$dir"/*.list | grep -v '/$' | sort | uniq -d)
[ -z "$dups" ] || fail "in both packages: $dups"
depends=$(dpkg-deb -f "$py" Depends)
grep -qF "pelmora (= $version)" <<<"$depends" || fail "python3-pelmora does not depend on its pelmora"
grep -qw python3-numpy <<<"$depends" || fail "python3-pelmora does not depend on NumPy"

# Unpacked and started through the link in bin from elsewhere, the tool
# finds the data and plug-ins of its package. NaCl's 200 line under Mo Ka1:
# 2 asin(0.709300 / 5.6402) = 14.449 degrees.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$app" "$work/root"
dpkg-deb -x "$py" "$work/root"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
cd /
# (Outputs are kept whole: grep -q would stop reading early and, with
# pipefail, turn the writer's broken pipe into a failure.)
out=$("$work/root/usr/bin/pelmora-cli" calc "$work/root/usr/share/pelmora/examples/NaCl.xml" --source "Mo Ka" 2>/dev/null)
grep -q 'Ka1    2    0    0    14\.449' <<<"$out" || fail "the unpacked pelmora-cli does not calculate NaCl"
out=$("$work/root/usr/bin/pelmora-cli" plugins)
grep -q '"Pearson VII"' <<<"$out" || fail "the unpacked pelmora-cli finds no plug-ins"
# The manual pages format without a complaint from groff.
for m in pelmora pelmora-cli; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/$m.1.gz" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man page $m: $out"
done
# Every option that a command's --help lists is in the manual page.
cli="$work/root/usr/bin/pelmora-cli"
page=$(zcat "$work/root/usr/share/man/man1/pelmora-cli.1.gz" | sed 's/\\-/-/g')
for c in calc fit convert plugins; do
  for opt in $("$cli" "$c" --help | grep -oE '(^|[ ,!])--[a-z0-9][a-z0-9-]*' | sed 's/^[ ,!]*//' | sort -u); do
    grep -qF -- "$opt" <<<"$page" || fail "pelmora-cli.1 does not describe $c $opt"
  done
done
page=$(zcat "$work/root/usr/share/man/man1/pelmora.1.gz" | sed 's/\\-/-/g')
for opt in $(QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/pelmora" --help | grep -oE '(^|[ ,!])--[a-z0-9][a-z0-9-]*' |
             sed 's/^[ ,!]*//' | sort -u); do
  grep -qF -- "$opt" <<<"$page" || fail "pelmora.1 does not describe $opt"
done
PYTHONPATH="$work/root/usr/lib/python3/dist-packages" /usr/bin/python3 -c "
import warnings, pelmora
warnings.simplefilter('ignore')
assert pelmora.__file__.startswith('$work/root/'), pelmora.__file__
assert 'Pearson VII' in pelmora.profiles()
assert len(pelmora.read('$work/root/usr/share/pelmora/examples/NaCl.xml').reflections()['h']) > 5
" || fail "the unpacked Python module does not work"
echo "check_deb: pelmora and python3-pelmora $version are complete"
