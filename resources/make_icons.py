#!/usr/bin/env python3
"""Writes the toolbar icons (24x24 SVG, one line style) into icons/.
Run again after changing a drawing; the SVGs are kept in the repository."""
import os

HEAD = ('<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24" '
        'fill="none" stroke="#2b3a4a" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round">')
BLUE, RED, GREEN = "#2a6fdb", "#d43c2f", "#2f8f3a"

def axes():
    return '<path d="M4 3v17h17"/>'

def peak(colour=RED):
    return f'<path d="M5 19c3 0 3-1 4.5-5s2-9 3-9 1.5 5 3 9 1.5 5 4.5 5" stroke="{colour}"/>'

ICONS = {
    "document-new": '<path d="M6 3h8l4 4v14H6z"/><path d="M14 3v4h4"/><path d="M12 11v6M9 14h6" stroke="%s"/>' % GREEN,
    "document-open": '<path d="M3 6h6l2 2h10v11H3z"/><path d="M3 11h18" />',
    "document-save": '<path d="M4 4h13l3 3v13H4z"/><path d="M8 4v5h8V4"/><rect x="7" y="13" width="10" height="7"/>',
    "help-about": '<circle cx="12" cy="12" r="9"/><path d="M12 11v6"/><circle cx="12" cy="7.5" r="0.6" fill="#2b3a4a"/>',
    "calculate": axes() + peak() + f'<path d="M15 3l3 3-3 3" stroke="{BLUE}"/>',
    "export-text": '<path d="M5 3h9l4 4v14H5z"/><path d="M8 10h7M8 13h7M8 16h5"/><path d="M14 3v4h4"/>',
    "export-picture": '<path d="M5 3h9l4 4v14H5z"/><path d="M14 3v4h4"/><path d="M7.5 18c2 0 2-1 3-4s1.2-5 1.8-5 .8 3 1.8 6 1 3 2.4 3" stroke="%s"/>' % RED,
    "document-print": '<path d="M7 9V3h10v6"/><rect x="3" y="9" width="18" height="8" rx="1.5"/><path d="M7 14h10v7H7z"/><path d="M9 17h6" stroke="%s"/>' % BLUE,
    "zoom-area": axes() + f'<rect x="8" y="6" width="9" height="8" stroke="{BLUE}" stroke-dasharray="2 1.5"/>',
    "stretch-x": axes() + f'<path d="M7 11h12M7 11l3-3M7 11l3 3M19 11l-3-3M19 11l-3 3" stroke="{BLUE}"/>',
    "stretch-y": axes() + f'<path d="M13 5v12M13 5l-3 3M13 5l3 3M13 17l-3-3M13 17l3-3" stroke="{BLUE}"/>',
    "zoom-reset": axes() + peak() + f'<path d="M16 4h4v4" stroke="{BLUE}"/><path d="M8 4H4" stroke="{BLUE}"/>',
    "zoom-reset-y": axes() + f'<path d="M9 5v12M7 5h4M7 17h4" stroke="{BLUE}"/>',
    "zoom-reset-x": axes() + f'<path d="M7 12h12M7 10v4M19 10v4" stroke="{BLUE}"/>',
    "zoom-in": '<circle cx="10" cy="10" r="6"/><path d="M14.5 14.5L20 20"/><path d="M7 10h6M10 7v6" stroke="%s"/>' % BLUE,
    "zoom-out": '<circle cx="10" cy="10" r="6"/><path d="M14.5 14.5L20 20"/><path d="M7 10h6" stroke="%s"/>' % BLUE,
    "go-first": f'<path d="M6 5v14"/><path d="M18 5l-8 7 8 7" stroke="{BLUE}"/>',
    "go-previous": f'<path d="M15 5l-7 7 7 7" stroke="{BLUE}"/>',
    "go-next": f'<path d="M9 5l7 7-7 7" stroke="{BLUE}"/>',
    "go-last": f'<path d="M18 5v14"/><path d="M6 5l8 7-8 7" stroke="{BLUE}"/>',
    "go-top": f'<path d="M5 6h14"/><path d="M5 18l7-8 7 8" stroke="{BLUE}"/>',
    "go-up": f'<path d="M5 15l7-7 7 7" stroke="{BLUE}"/>',
    "go-down": f'<path d="M5 9l7 7 7-7" stroke="{BLUE}"/>',
    "go-bottom": f'<path d="M5 18h14"/><path d="M5 6l7 8 7-8" stroke="{BLUE}"/>',
    "ticks-x-major": '<path d="M3 18h18"/><path d="M5 18v-8M12 18v-8M19 18v-8" stroke="%s" stroke-width="2"/>' % BLUE,
    "ticks-x-medium": '<path d="M3 18h18"/><path d="M5 18v-5M8.5 18v-5M12 18v-5M15.5 18v-5M19 18v-5" stroke="%s"/>' % BLUE,
    "ticks-x-minor": '<path d="M3 18h18"/><path d="M5 18v-3M7 18v-3M9 18v-3M11 18v-3M13 18v-3M15 18v-3M17 18v-3M19 18v-3" stroke="%s" stroke-width="1.2"/>' % BLUE,
    "ticks-y-major": '<path d="M6 3v18"/><path d="M6 5h8M6 12h8M6 19h8" stroke="%s" stroke-width="2"/>' % GREEN,
    "ticks-y-medium": '<path d="M6 3v18"/><path d="M6 5h5M6 8.5h5M6 12h5M6 15.5h5M6 19h5" stroke="%s"/>' % GREEN,
    "ticks-y-minor": '<path d="M6 3v18"/><path d="M6 5h3M6 7h3M6 9h3M6 11h3M6 13h3M6 15h3M6 17h3M6 19h3" stroke="%s" stroke-width="1.2"/>' % GREEN,
    "descriptions": axes() + peak() + '<rect x="13" y="3" width="8" height="5" fill="#dddddd" stroke="#2b3a4a" stroke-width="1"/><path d="M12.5 9l1-1" />',
    "desc-ka1": '<text x="12" y="16" font-family="DejaVu Sans, sans-serif" font-size="9.5" font-weight="bold" fill="#3f9013" stroke="none" text-anchor="middle">Kα1</text>',
    "desc-ka2": '<text x="12" y="16" font-family="DejaVu Sans, sans-serif" font-size="9.5" font-weight="bold" fill="#ea4902" stroke="none" text-anchor="middle">Kα2</text>',
    "settings": '<circle cx="12" cy="12" r="3"/><path d="M12 3v3M12 18v3M3 12h3M18 12h3M5.6 5.6l2.1 2.1M16.3 16.3l2.1 2.1M5.6 18.4l2.1-2.1M16.3 7.7l2.1-2.1"/>',
    "info": '<circle cx="12" cy="12" r="9" stroke="%s"/><path d="M12 11v6" stroke="%s"/><circle cx="12" cy="7.5" r="0.6" fill="%s" stroke="%s"/>' % (BLUE, BLUE, BLUE, BLUE),
    "plugin": '<path d="M8 4h8v5h-2v2h4v9H6v-9h4V9H8z"/>',
    "plugin-old": '<path d="M8 4h8v5h-2v2h4v9H6v-9h4V9H8z" stroke="#999999"/><path d="M4 20L20 4" stroke="%s"/>' % RED,
}

APP = ('<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">'
       '<rect x="2" y="2" width="60" height="60" rx="10" fill="#f4f7fb" stroke="#2b3a4a" stroke-width="2"/>'
       '<path d="M10 52h46M10 52V10" stroke="#2b3a4a" stroke-width="2.5" fill="none"/>'
       '<path d="M12 50c6 0 7-1 9-8s3-24 5-24 3 17 5 24 3 8 6 8 3-6 5-14 2-10 3-10 2 8 3 14 2 10 6 10" '
       'stroke="#d43c2f" stroke-width="3" fill="none" stroke-linejoin="round"/></svg>\n')

here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, "icons"), exist_ok=True)
for name, body in ICONS.items():
    with open(os.path.join(here, "icons", name + ".svg"), "w") as f:
        f.write(HEAD + body + "</svg>\n")
with open(os.path.join(here, "icons", "pelmora.svg"), "w") as f:
    f.write(APP)
with open(os.path.join(here, "pelmora.qrc"), "w") as f:
    f.write('<!DOCTYPE RCC><RCC version="1.0">\n<qresource prefix="/">\n')
    for name in sorted(list(ICONS) + ["pelmora"]):
        f.write(f'  <file>icons/{name}.svg</file>\n')
    # The formula pictures and header symbols that make_formulas.py writes.
    for folder in ("formulas", "symbols"):
        if os.path.isdir(os.path.join(here, folder)):
            for name in sorted(os.listdir(os.path.join(here, folder))):
                if name.endswith(".svg"):
                    f.write(f'  <file>{folder}/{name}</file>\n')
    f.write('</qresource>\n</RCC>\n')
