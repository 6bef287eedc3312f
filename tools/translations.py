#!/usr/bin/env python3
"""The English translation kept in translations/pelmora_en.ts.

  tools/translations.py update   bring the .ts up to date with the sources
                                 (new texts come in unfinished, gone ones go)
  tools/translations.py check    fail when a text of the sources has no
                                 English translation or the .ts is not current

Both run Qt's lupdate over the same folders with the same options, so that
`check` sees exactly what `update` would write.
"""
import os
import html
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TS = os.path.join(ROOT, "translations", "pelmora_en.ts")
# Every folder whose texts the programs show; lupdate walks each one.
FOLDERS = ["app", "cli", "diffractogram", "documents", "editors", "engine", "io", "measured", "plugins",
           "refdata", "settings", "viewer3d", "widgets", "workspace"]


def lupdate():
    for candidate in (os.environ.get("LUPDATE"), "/usr/lib/qt6/bin/lupdate", shutil.which("lupdate")):
        if candidate and os.path.exists(candidate):
            return candidate
    sys.exit("lupdate not found (Debian package qt6-l10n-tools)")


def run_lupdate(tool, ts):
    # No locations: a text that moves within its file leaves the .ts alone.
    args = [tool, "-silent", "-no-obsolete", "-locations", "none", "-source-language", "pl_PL",
            "-target-language", "en_US", "-extensions", "cpp,h", "-I", ROOT,
            "-tr-function-alias", "translate+=TrText,QT_TRANSLATE_NOOP+=PELMORA_TR_NOOP"]
    args += [os.path.join(ROOT, f) for f in FOLDERS] + ["-ts", ts]
    subprocess.run(args, check=True, cwd=ROOT)


def messages(ts):
    text = open(ts, encoding="utf-8").read()
    out = []
    for ctx in re.finditer(r"<context>\s*<name>(.*?)</name>(.*?)</context>", text, re.S):
        for m in re.finditer(r"<message>(.*?)</message>", ctx.group(2), re.S):
            src = re.search(r"<source>(.*?)</source>", m.group(1), re.S)
            tr = re.search(r"<translation([^>]*)>(.*?)</translation>|<translation([^>]*)/>", m.group(1), re.S)
            attrs = (tr.group(1) or tr.group(3) or "") if tr else ""
            out.append((ctx.group(1), src.group(1) if src else "", tr.group(2) if tr and tr.group(2) else "", attrs))
    return out


# printf conversions (%d, %.3f, %zu, %%) and Qt's %1..%99, in order.
PLACEHOLDER = re.compile(r"%(?:%|[-+ #0]*\d*(?:\.\d+)?(?:zu|ll|l|z|h)?[diouxXeEfgGcsp]|\d{1,2})")


def placeholders(text):
    found = PLACEHOLDER.findall(text)
    qt = sorted(p for p in found if p[1:].isdigit())
    return [p for p in found if not p[1:].isdigit()], qt


def check():
    tool = lupdate()
    with tempfile.TemporaryDirectory() as tmp:
        fresh = os.path.join(tmp, "pelmora_en.ts")
        shutil.copyfile(TS, fresh)
        run_lupdate(tool, fresh)
        now, committed = messages(fresh), messages(TS)
    bad = [m for m in now if "unfinished" in m[3] or "vanished" in m[3] or "obsolete" in m[3] or not m[2]]
    for ctx, src, _, _ in bad:
        print(f"no English for [{ctx}] {src!r}")
    # A translation must take the same values as its text: a printf format
    # with another conversion would read the wrong argument.
    for ctx, src, tr, _ in now:
        if tr and placeholders(html.unescape(src)) != placeholders(html.unescape(tr)):
            print(f"placeholders differ in [{ctx}] {src!r} -> {tr!r}")
            bad.append((ctx, src, tr, ""))
    stale = sorted({(c, s) for c, s, _, _ in committed} - {(c, s) for c, s, _, _ in now})
    for ctx, src in stale:
        print(f"no longer in the sources: [{ctx}] {src!r}")
    print(f"{len(now)} texts, {len(bad)} without English, {len(stale)} stale")
    return 0 if not bad and not stale else 1


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in ("update", "check"):
        sys.exit(__doc__)
    if sys.argv[1] == "update":
        run_lupdate(lupdate(), TS)
        return 0
    return check()


if __name__ == "__main__":
    sys.exit(main())
