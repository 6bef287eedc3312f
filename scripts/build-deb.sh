#!/usr/bin/env bash
# Builds the Debian packages pelmora and python3-pelmora with Debian's own
# tools (dpkg-buildpackage, debhelper's cmake build system) from a clean copy
# of the repository's committed tree, offline, and checks them with lintian.
#
# Usage: scripts/build-deb.sh [OUTDIR]     (default: build-deb/)
#   The packages land in OUTDIR as pelmora_VERSION-1_amd64.deb and
#   python3-pelmora_VERSION-1_amd64.deb, VERSION being the project's CMake
#   version. Uncommitted changes to tracked files are built as well (the copy
#   is made with `git stash create`); untracked files never are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(realpath -m "${1:-build-deb}")

bash scripts/install-deps.sh
bash scripts/apt-install.sh debhelper dh-python dpkg-dev lintian

version=$(sed -n 's/^project(Pelmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "build-deb: no version in CMakeLists.txt" >&2; exit 1; }
tree=$(git stash create)
[ -n "$tree" ] && echo "build-deb: building the working tree's uncommitted changes too" >&2
tree=${tree:-HEAD}

# A fixed place for the copy, so that the compiler cache recognises a rebuild.
stage="$out/src/pelmora-$version"
rm -rf "$out/src"
mkdir -p "$stage"
git archive --format=tar "$tree" | tar -x -C "$stage"

# The changelog carries the CMake version and the commit, dated as the commit.
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
commit=$(git rev-parse --short HEAD)
stamp=$(LC_ALL=C date -u -R -d "@$(git log -1 --format=%ct HEAD)")
cat >"$stage/debian/changelog" <<EOF
pelmora ($version-1) unstable; urgency=medium

  * Pelmora $version, built from commit $commit.

 -- $maintainer  $stamp
EOF

# debhelper points HOME at a scratch folder: name the user's compiler cache
# and its settings explicitly, so that a rebuild reuses it.
if command -v ccache >/dev/null; then
  CCACHE_DIR=$(ccache -k cache_dir) && export CCACHE_DIR
  conf=$(ccache -p | sed -n 's/^(\(\/[^)]*\)) max_size = .*/\1/p' | head -n1)
  [ -n "$conf" ] && export CCACHE_CONFIGPATH="$conf"
  export CCACHE_BASEDIR="$out/src"
fi

(cd "$stage" && dpkg-buildpackage -b -us -uc -j"${PELMORA_DEB_JOBS:-$(nproc)}")

rm -f "$out"/*.deb "$out"/*.ddeb "$out"/*.buildinfo "$out"/*.changes
mv "$out"/src/*.deb "$out"/src/*.buildinfo "$out"/src/*.changes "$out"/
mv "$out"/src/*.ddeb "$out"/ 2>/dev/null || true

# lintian's exit status is non-zero when it finds an error.
debs=("$out/pelmora_${version}-1_amd64.deb" "$out/python3-pelmora_${version}-1_amd64.deb")
status=0
lintian --tag-display-limit 0 "${debs[@]}" >"$out/lintian.txt" 2>&1 || status=$?
cat "$out/lintian.txt"
echo "lintian: $(grep -c '^E:' "$out/lintian.txt" || true) errors, $(grep -c '^W:' "$out/lintian.txt" || true) warnings"
for d in "${debs[@]}"; do
  echo "$(basename "$d"): $(du -k "$d" | cut -f1) KiB, installed $(dpkg-deb -f "$d" Installed-Size) KiB"
done
exit "$status"
