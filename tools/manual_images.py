#!/usr/bin/env python3
"""Copies the pictures the manual shows from a folder of screenshots
(scripts/screenshots.sh FOLDER) into docs/manual/img: the ones the pages
name, scaled down to fit the help window and reduced to a palette, which
keeps window pictures sharp at a fraction of the size.

Usage: tools/manual_images.py SCREENSHOT-FOLDER
"""
import pathlib
import re
import sys

from PIL import Image

MAX_WIDTH = 760
COLOURS = 128


def pictures_named(manual):
    names = set()
    for page in manual.glob("*/*.html"):
        names.update(re.findall(r'src="\.\./img/([^"]+)"', page.read_text(encoding="utf-8")))
    return sorted(names)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    shots = pathlib.Path(sys.argv[1])
    manual = pathlib.Path(__file__).resolve().parent.parent / "docs" / "manual"
    out = manual / "img"
    out.mkdir(exist_ok=True)
    missing = []
    for name in pictures_named(manual):
        source = shots / name
        if not source.exists():
            missing.append(name)
            continue
        image = Image.open(source).convert("RGB")
        if image.width > MAX_WIDTH:
            height = round(image.height * MAX_WIDTH / image.width)
            image = image.resize((MAX_WIDTH, height), Image.LANCZOS)
        image = image.quantize(COLOURS, method=Image.MEDIANCUT, dither=Image.NONE)
        image.save(out / name, optimize=True)
        print(f"{name}: {image.width}x{image.height}, {(out / name).stat().st_size // 1024} KiB")
    if missing:
        sys.exit("not among the screenshots: " + ", ".join(missing))


if __name__ == "__main__":
    main()
