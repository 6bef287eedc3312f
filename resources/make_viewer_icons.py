#!/usr/bin/env python3
"""Writes the buttons of the "Monitor" panel (24x24 SVG, the toolbar's line
style) into viewer/ and lists them in viewer.qrc. The axes keep the colours
the cell view gives them: a red, b green, c blue.
Run again after changing a drawing; the SVGs are kept in the repository."""
import os

HEAD = ('<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24" '
        'fill="none" stroke="#2b3a4a" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round">')
DARK, GREY = "#2b3a4a", "#8a96a3"
RED, GREEN, BLUE = "#d43c2f", "#2f8f3a", "#2a6fdb"
AXIS = {"x": RED, "y": GREEN, "z": BLUE}


def cube(stroke=DARK, hidden=GREY):
    """A wire cube seen from above right: front face, back face, the edges
    between; the three edges hidden behind it dashed."""
    return (f'<path d="M9 15V4h11v11" stroke="{hidden}" stroke-width="1.1" stroke-dasharray="1.6 1.4"/>'
            f'<path d="M9 15h11M4 20l5-5" stroke="{hidden}" stroke-width="1.1" stroke-dasharray="1.6 1.4"/>'
            f'<path d="M4 9h11v11H4z M4 9l5-5h11l-5 5 M20 4v11l-5 5" stroke="{stroke}"/>')


def atom(x, y, colour=RED, r=2.1):
    return f'<circle cx="{x}" cy="{y}" r="{r}" fill="{colour}" stroke="{DARK}" stroke-width="0.8"/>'


def letter(x, y, text, colour, size=7.5):
    return (f'<text x="{x}" y="{y}" font-family="DejaVu Sans, sans-serif" font-size="{size}" font-weight="bold" '
            f'fill="{colour}" stroke="none" text-anchor="middle">{text}</text>')


def turn_arrow():
    """Three quarters of a circle, turning clockwise from the top round to
    the left, with its head there pointing up."""
    return f'<path d="M12 3.5a8.5 8.5 0 1 1-8.5 8.5" stroke="{DARK}"/><path d="M1.2 14.3l2.3-2.6 2.4 2.5" stroke="{DARK}"/>'


def mode(a, b):
    """Rotation mode: a left drag turns about the two axes named."""
    return turn_arrow() + letter(9.9, 14.6, a.upper(), AXIS[a], 7) + letter(15, 14.6, b.upper(), AXIS[b], 7)


def spin(axis):
    """Hold to turn about one axis: the axis, a ring around it, its letter."""
    colour = AXIS[axis]
    if axis == "x":
        line, ring, label = "M2 12h17", '<ellipse cx="11" cy="12" rx="3.2" ry="7.5"/>', letter(21, 15, "X", colour)
        head = "M9.6 3.7l2.2 0.8-1.6 1.8"
    elif axis == "y":
        line, ring, label = "M3 19L18 6", '<ellipse cx="11" cy="12.5" rx="7.5" ry="3.2" transform="rotate(50 11 12.5)"/>', letter(20.5, 7, "Y", colour)
        head = "M13.6 5.4l2.3-0.4-0.6 2.3"
    else:
        line, ring, label = "M12 22V5", '<ellipse cx="12" cy="13" rx="7.5" ry="3.2"/>', letter(12, 4.8, "Z", colour, 6.5)
        head = "M17.4 15.4l2.2-0.6-1.2 2"
    return (f'<path d="{line}" stroke="{colour}" stroke-width="2"/>'
            + ring.replace("/>", f' stroke="{DARK}"/>') + f'<path d="{head}" stroke="{DARK}"/>' + label)


def move(angle):
    """Hold to move the model: a small cell and an arrow leaving it; drawn
    pointing left, turned for the other directions."""
    body = (f'<path d="M15 9h5v6h-5z" stroke="{DARK}"/>'
            f'<path d="M13 12H3.5M7.5 8l-4 4 4 4" stroke="{BLUE}" stroke-width="2"/>')
    return body if angle == 0 else f'<g transform="rotate({angle} 12 12)">{body}</g>'


ICONS = {
    "viewer-save": '<path d="M4 4h13l3 3v13H4z"/><path d="M8 4v5h8V4"/>'
                   f'<path d="M7 13h10v7H7z"/><path d="M8.5 18.5l2.5-3 2 2 1.5-1.5 2 2.5" stroke="{BLUE}" stroke-width="1.2"/>',
    "viewer-axes": (f'<path d="M10 15V3.5M7.8 6l2.2-2.5 2.2 2.5" stroke="{BLUE}" stroke-width="1.8"/>'
                    f'<path d="M10 15h11M18.5 12.8l2.5 2.2-2.5 2.2" stroke="{GREEN}" stroke-width="1.8"/>'
                    f'<path d="M10 15l-6.5 6.5M3.5 18.2v3.3h3.3" stroke="{RED}" stroke-width="1.8"/>'),
    "viewer-cell": cube(),
    "viewer-images": cube(GREY, "#b8c0c8") + "".join(atom(x, y) for x, y in
                                                    ((4, 9), (15, 9), (4, 20), (15, 20), (9, 4), (20, 4), (20, 15))),
    "viewer-mode-xy": mode("x", "y"),
    "viewer-mode-xz": mode("x", "z"),
    "viewer-mode-yz": mode("y", "z"),
    "viewer-turn-x": spin("x"),
    "viewer-turn-y": spin("y"),
    "viewer-turn-z": spin("z"),
    "viewer-left": move(0),
    "viewer-right": move(180),
    "viewer-up": move(90),
    "viewer-down": move(270),
    "viewer-nearer": f'<circle cx="10" cy="10" r="6"/><path d="M14.5 14.5L20 20"/><path d="M7 10h6M10 7v6" stroke="{BLUE}" stroke-width="1.8"/>',
    "viewer-farther": f'<circle cx="10" cy="10" r="6"/><path d="M14.5 14.5L20 20"/><path d="M7 10h6" stroke="{BLUE}" stroke-width="1.8"/>',
}

here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, "viewer"), exist_ok=True)
for name, body in ICONS.items():
    with open(os.path.join(here, "viewer", name + ".svg"), "w") as f:
        f.write(HEAD + body + "</svg>\n")
with open(os.path.join(here, "viewer.qrc"), "w") as f:
    f.write('<!DOCTYPE RCC><RCC version="1.0">\n<qresource prefix="/">\n')
    for name in sorted(ICONS):
        f.write(f'  <file>viewer/{name}.svg</file>\n')
    f.write('</qresource>\n</RCC>\n')
