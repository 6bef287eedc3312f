#!/usr/bin/env bash
# Installs the Debian packages into a clean Debian 12 chroot with apt and
# uses them there as a user would: a calculation with the command-line tool,
# its manual page, the Python module and the desktop program under xvfb.
# Needs root and the network (Debian's mirror, for the dependencies).
# Usage: tests/package/try_in_chroot.sh CHROOT [DEBDIR]
#   CHROOT is made with debootstrap when it does not exist yet.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
chroot_dir=$(realpath -m "$1")
debs=$(realpath "${2:-$root/build-deb}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
if [ ! -x "$chroot_dir/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || bash "$root/scripts/apt-install.sh" debootstrap
  debootstrap bookworm "$chroot_dir" "$mirror"
fi
mkdir -p "$chroot_dir/tmp/debs"
cp "$debs"/pelmora_*_amd64.deb "$debs"/python3-pelmora_*_amd64.deb "$chroot_dir/tmp/debs/"
mountpoint -q "$chroot_dir/proc" || mount -t proc proc "$chroot_dir/proc"
trap 'umount "$chroot_dir/proc"' EXIT
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"

chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive /bin/bash -eux -c '
apt-get update -qq
apt-get install -y -qq ./tmp/debs/*.deb man-db xvfb xauth >/tmp/apt.log || { tail -30 /tmp/apt.log; exit 1; }
cd /tmp
# (No pipefail here: head may close its pipe before the writer ends.)
pelmora-cli calc /usr/share/pelmora/examples/NaCl.xml | head -n 5
man pelmora-cli | head -n 12
man -w pelmora
/usr/bin/python3 -c "import pelmora; s = pelmora.read(\"/usr/share/pelmora/examples/Si.xml\"); print(pelmora.__file__, len(s.reflections()[\"h\"]), \"reflections of Si\")"
xvfb-run -a pelmora --help | head -n 3
xvfb-run -a pelmora --version
grep -l pelmora /usr/share/mime/packages/*.xml /usr/share/applications/mimeinfo.cache 2>/dev/null || true
'
