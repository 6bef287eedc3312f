#!/bin/sh
# pelmora-cli speaks English where the locale or the setting asks for it and
# Polish otherwise; the core's messages (a refused measurement) follow.
# Arguments: the tool, a structure, a measured pattern it refuses.
cli="$1"; structure="$2"; refused="$3"
home=$(mktemp -d) || exit 1
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME="$home"
failed=0
expect() {  # expect WHAT OUTPUT PATTERN
  if ! printf '%s\n' "$2" | grep -q -- "$3"; then
    echo "FAILED: $1: no \"$3\" in:"; printf '%s\n' "$2"; failed=1
  fi
}
run() { env -u LANGUAGE -u LC_ALL -u LC_MESSAGES "$@" 2>&1; }

out=$(run LANG=en_US.UTF-8 "$cli" plugins)
expect "English locale" "$out" "^Plug-ins folder: "
expect "English locale, core text" "$out" "^Peak profiles$"
expect "English locale" "$out" "^Pattern export formats: "
out=$(run LANG=de_DE.UTF-8 LANGUAGE=fr:en "$cli" plugins)
expect "language list" "$out" "^Plug-ins folder: "
for locale in C pl_PL.UTF-8 de_DE.UTF-8; do
  out=$(run LANG=$locale "$cli" plugins)
  expect "locale $locale" "$out" "^Katalog wtyczek: "
  expect "locale $locale, core text" "$out" "^Profile pików$"
done
out=$(run LANG=en_US.UTF-8 "$cli" fit "$structure" --observed "$refused")
expect "English refusal" "$out" "Negative counts (-3) at 2θ = 21°"
out=$(run LANG=C "$cli" fit "$structure" --observed "$refused")
expect "Polish refusal" "$out" "Ujemna liczba zliczeń (-3) przy 2θ = 21°"

# The setting wins over the locale, both ways.
mkdir -p "$home/Pelmora"
printf '[Settings]\nLanguage=en\n' > "$home/Pelmora/Pelmora.ini"
expect "setting en" "$(run LANG=C "$cli" plugins)" "^Plug-ins folder: "
printf '[Settings]\nLanguage=pl\n' > "$home/Pelmora/Pelmora.ini"
expect "setting pl" "$(run LANG=en_US.UTF-8 "$cli" plugins)" "^Katalog wtyczek: "

[ $failed -eq 0 ] && echo "language checks: all passed"
exit $failed
