#!/bin/sh
# A sample or diffractometer value below zero (or zero, where it divides)
# is refused before anything is calculated: status 3, the value named, no
# list. Usage: refused_values.sh CLI NACL_XML WORK_DIR
set -u
cli=$1 nacl=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config"
failed=0

# Runs the example with one element's text replaced; expects status 3 and
# the element's name in the message.
refused() {
  element=$1 value=$2 extra=${3:-}
  sed "s#<$element>[^<]*</$element>#<$element>$value</$element>#" "$nacl" >"$work/case.xml"
  grep -q "<$element>$value</$element>" "$work/case.xml" || { echo "no <$element> in the example"; failed=1; return; }
  # shellcheck disable=SC2086
  "$cli" calc "$work/case.xml" $extra >"$work/out.txt" 2>"$work/err.txt"
  status=$?
  if [ "$status" -ne 3 ] || [ -s "$work/out.txt" ] || ! grep -q "$element" "$work/err.txt"; then
    echo "$element = $value $extra: status $status, stderr: $(cat "$work/err.txt")"
    failed=1
  fi
}

for element in absorption detslit beamarea measurespeed difradius; do
  refused "$element" -1.5
  refused "$element" 0
done
# The grain size enters only the peak widths, and still is never negative.
refused gsize -100
refused gsize -100 "--pattern - --profile brak"
# B with the temperature factor on (an element present turns it on).
sed 's#<gsize>#<dwfactor>-0.5</dwfactor><gsize>#' "$nacl" >"$work/dw.xml"
"$cli" calc "$work/dw.xml" >"$work/out.txt" 2>"$work/err.txt"
status=$?
if [ "$status" -ne 3 ] || ! grep -q "B = -0.5" "$work/err.txt"; then
  echo "dwfactor -0.5: status $status"
  failed=1
fi
# The example itself runs.
"$cli" calc "$nacl" >"$work/out.txt" || { echo "the example itself failed"; failed=1; }
exit $failed
