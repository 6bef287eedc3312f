#!/bin/sh
# calc --check on every example and test structure: the calculation agrees
# with the plain reference (status 0), and the list written beside the
# check is the one written without it.
# Usage: plain_check.sh CLI SOURCE_DIR WORK_DIR
set -u
cli=$1 src=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config"
failed=0

check() {
  "$cli" calc "$@" --check >"$work/report.txt" 2>"$work/err.txt"
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "$*: status $status"
    cat "$work/report.txt" "$work/err.txt"
    failed=1
  fi
}

for input in "$src"/examples/*.xml "$src"/tests/data/cif/*.cif "$src"/tests/data/cif/*.xml "$src"/tests/data/xcheck/*.xml; do
  check "$input"
done
# Neutrons on sites with B factors of their own.
check "$src/tests/data/cif/rutile.cif" --radiation n

nacl="$src/examples/NaCl.xml"
"$cli" calc "$nacl" --ka2 --extinct >"$work/plain.txt"
check "$nacl" --ka2 --extinct -o "$work/checked.txt"
cmp "$work/plain.txt" "$work/checked.txt" || failed=1
# The report needs standard output to itself.
"$cli" calc "$nacl" --check -o - >/dev/null 2>&1
[ $? -eq 1 ] || { echo "--check -o - accepted"; failed=1; }

[ $failed -eq 0 ] && echo "all checks agree"
exit $failed
