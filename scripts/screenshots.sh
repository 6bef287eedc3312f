#!/usr/bin/env bash
# Runs pelmora under a virtual X server through its main states and writes a
# PNG of each into the folder given as argument (tools/screenshots/):
#   1-empty-frame.png         the main frame without a document
#   2-nacl-descriptions.png   NaCl calculated, reflection descriptions on
#   3-zoomed.png              the same zoomed in, the cursor read in the status bar
#   4-export-dialog.png       the numeric export dialog
#   5-settings-dialog.png     "Ustawienia programu"
#   6-plugins-dialog.png      "Wtyczki"
#   7-pseudo-voigt-info.png   the pseudo-Voigt info window of the NaCl peaks
#   8-stick-descriptions.png  Si as sticks ("brak") with descriptions, Ka1 only
#   9-negative-index-label.png  a label with negative indices, enlarged 4x
#   structure-page.png        "Definiuj Strukturę" on NaCl, its "Atomy" page
#   structure-anomalous.png   the same on its "Czynniki anomalne" page
#   atom-table.png            "Wybór atomu" opened from "..." on chlorine
#   atom-table-editing.png    "Wybór atomu" with an ion just added to iron
#   viewer-3d.png             rutile in the "Monitor" panel: labels, cell edges, axes
#   viewer-save-dialog.png    the panel's "Zapisz jako" with the picture sizes
#   print-preview.png         the print preview of the NaCl page
#   manual.png                the manual ("Pomoc" -> "Podręcznik", F1) at the space-group section
#   undo-menu.png             "Edycja" open on "Cofnij" after NaCl's cell was changed
# Usage: scripts/screenshots.sh OUTPUT-FOLDER   (builds first when needed)
set -euo pipefail
out="${1:?usage: scripts/screenshots.sh OUTPUT-FOLDER}"
cd "$(dirname "$0")/.."
mkdir -p "$out"
out="$(cd "$out" && pwd)"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target pelmora_screenshots
runtime="$(mktemp -d)"
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR="$runtime" xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/pelmora_screenshots "$out"
