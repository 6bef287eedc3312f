#!/usr/bin/env python3
"""Writes the pseudo-Voigt formula pictures (formulas/) and the column header
symbols of its info window (symbols/) as SVG.

The text is laid out here with the advance widths of DejaVu Sans read from
the font file, so subscripts, fractions and roots sit where they belong when
Qt draws the SVG with that font. Run again after changing a formula, then
make_icons.py (it lists these files in pelmora.qrc); the SVGs are kept in
the repository.

The formulas say what diffractogram/PatternSynthesis.cpp computes for the
pseudo-Voigt profile: keep both in step."""
import os
import struct

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
INK = "#1b1b1b"
FAMILY = "DejaVu Sans, sans-serif"


def load_advances(path):
    """Advance widths in em by character, from the font's cmap and hmtx."""
    data = open(path, "rb").read()
    tables = {}
    for i in range(struct.unpack(">H", data[4:6])[0]):
        tag, _, off, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode()] = off
    upem = struct.unpack(">H", data[tables["head"] + 18:tables["head"] + 20])[0]
    nh = struct.unpack(">H", data[tables["hhea"] + 34:tables["hhea"] + 36])[0]
    hm = tables["hmtx"]
    adv = [struct.unpack(">H", data[hm + 4 * i:hm + 4 * i + 2])[0] for i in range(nh)]
    co = tables["cmap"]
    widths = {}
    for i in range(struct.unpack(">H", data[co + 2:co + 4])[0]):
        pid, eid, off = struct.unpack(">HHI", data[co + 4 + 8 * i:co + 12 + 8 * i])
        if (pid, eid) != (3, 1):
            continue
        s = co + off
        assert struct.unpack(">H", data[s:s + 2])[0] == 4
        seg2 = struct.unpack(">H", data[s + 6:s + 8])[0]
        seg = seg2 // 2
        ends = struct.unpack(">%dH" % seg, data[s + 14:s + 14 + seg2])
        starts = struct.unpack(">%dH" % seg, data[s + 16 + seg2:s + 16 + 2 * seg2])
        deltas = struct.unpack(">%dh" % seg, data[s + 16 + 2 * seg2:s + 16 + 3 * seg2])
        ro = s + 16 + 3 * seg2
        offsets = struct.unpack(">%dH" % seg, data[ro:ro + seg2])
        for k in range(seg):
            for c in range(starts[k], min(ends[k], 0x3FF) + 1):
                if offsets[k] == 0:
                    g = (c + deltas[k]) & 0xFFFF
                else:
                    p = ro + 2 * k + offsets[k] + 2 * (c - starts[k])
                    g = struct.unpack(">H", data[p:p + 2])[0]
                    g = (g + deltas[k]) & 0xFFFF if g else 0
                widths[chr(c)] = adv[min(g, nh - 1)] / upem
    return widths


UPRIGHT = load_advances(os.path.join(FONT_DIR, "DejaVuSans.ttf"))
ITALIC = load_advances(os.path.join(FONT_DIR, "DejaVuSans-Oblique.ttf"))
for extra in ("\u2212", "\u221a", "\u00b7", "\u00b0"):  # beyond the ranges read above
    UPRIGHT.setdefault(extra, {"\u2212": 0.838, "\u221a": 0.637, "\u00b7": 0.318, "\u00b0": 0.5}[extra])


def esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def f(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


class Box:
    w = asc = desc = 0.0

    def svg(self, x, y):
        return ""


class T(Box):
    """A run of text; italic for variables."""

    def __init__(self, s, size, italic=False):
        self.s, self.size, self.italic = s, size, italic
        table = ITALIC if italic else UPRIGHT
        self.w = sum(table.get(c, UPRIGHT.get(c, 0.6)) for c in s) * size
        self.asc, self.desc = 0.76 * size, 0.24 * size

    def svg(self, x, y):
        style = ' font-style="italic"' if self.italic else ""
        return f'<text x="{f(x)}" y="{f(y)}" font-size="{f(self.size)}"{style}>{esc(self.s)}</text>'


class Gap(Box):
    def __init__(self, w):
        self.w = w


class Row(Box):
    def __init__(self, *items):
        self.items = items
        self.w = sum(i.w for i in items)
        self.asc = max(i.asc for i in items)
        self.desc = max(i.desc for i in items)

    def svg(self, x, y):
        out = []
        for i in self.items:
            out.append(i.svg(x, y))
            x += i.w
        return "".join(out)


class Scripts(Box):
    """A base with a subscript and/or a superscript stacked after it."""

    def __init__(self, base, size, sub=None, sup=None, sub_drop=0.26):
        self.base, self.sub, self.sup, self.size = base, sub, sup, size
        self.sub_dy = sub_drop * size
        self.sup_dy = -(base.asc - 0.42 * size) if sup is not None else 0
        scripts = [b for b in (sub, sup) if b is not None]
        self.w = base.w + max(b.w for b in scripts) + 0.04 * size
        self.asc = max(base.asc, (sup.asc - self.sup_dy) if sup else 0)
        self.desc = max(base.desc, (sub.desc + self.sub_dy) if sub else 0)

    def svg(self, x, y):
        out = self.base.svg(x, y)
        x2 = x + self.base.w + 0.02 * self.size
        if self.sub is not None:
            out += self.sub.svg(x2, y + self.sub_dy)
        if self.sup is not None:
            out += self.sup.svg(x2, y + self.sup_dy)
        return out


class Frac(Box):
    def __init__(self, num, den, size):
        self.num, self.den, self.size = num, den, size
        self.axis = 0.30 * size  # height of the fraction bar above the baseline
        self.gap = 0.14 * size
        self.pad = 0.12 * size
        self.w = max(num.w, den.w) + 2 * self.pad
        self.num_dy = -(self.axis + self.gap + num.desc * 0.55)
        self.den_dy = -self.axis + self.gap + den.asc * 0.95
        self.asc = -self.num_dy + num.asc
        self.desc = self.den_dy + den.desc * 0.7

    def svg(self, x, y):
        bar_y = y - self.axis
        out = self.num.svg(x + (self.w - self.num.w) / 2, y + self.num_dy)
        out += self.den.svg(x + (self.w - self.den.w) / 2, y + self.den_dy)
        out += (f'<path d="M{f(x + self.pad * 0.5)} {f(bar_y)}H{f(x + self.w - self.pad * 0.5)}" '
                f'stroke="{INK}" stroke-width="{f(0.065 * self.size)}" fill="none"/>')
        return out


class Paren(Box):
    """Parentheses drawn to the height of what they hold."""

    def __init__(self, content, size):
        self.c, self.size = content, size
        self.asc = content.asc + 0.06 * size
        self.desc = content.desc + 0.06 * size
        self.pw = 0.34 * size
        self.w = content.w + 2 * self.pw

    def svg(self, x, y):
        top, bot = y - self.asc, y + self.desc
        mid = (top + bot) / 2
        bow = 0.2 * self.size
        sw = f(0.07 * self.size)
        lx, rx = x + self.pw * 0.8, x + self.w - self.pw * 0.8
        out = (f'<path d="M{f(lx)} {f(top)}Q{f(lx - bow)} {f(mid)} {f(lx)} {f(bot)}" '
               f'stroke="{INK}" stroke-width="{sw}" fill="none" stroke-linecap="round"/>')
        out += (f'<path d="M{f(rx)} {f(top)}Q{f(rx + bow)} {f(mid)} {f(rx)} {f(bot)}" '
                f'stroke="{INK}" stroke-width="{sw}" fill="none" stroke-linecap="round"/>')
        return out + self.c.svg(x + self.pw, y)


class Root(Box):
    """A radical sign with its bar over the content and an optional index."""

    def __init__(self, content, size, index=None):
        self.c, self.size, self.index = content, size, index
        self.sign = 0.62 * size
        self.w = content.w + self.sign + 0.3 * size
        self.asc = content.asc + 0.16 * size
        self.desc = content.desc + 0.04 * size

    def svg(self, x, y):
        s = self.size
        top, bot = y - self.asc, y + self.desc
        p = [(x + 0.04 * s, y - 0.30 * s), (x + 0.16 * s, y - 0.38 * s), (x + 0.32 * s, bot),
             (x + self.sign - 0.04 * s, top), (x + self.w, top)]
        d = "M" + " L".join(f"{f(px)} {f(py)}" for px, py in p)
        out = (f'<path d="{d}" stroke="{INK}" stroke-width="{f(0.065 * s)}" fill="none" '
               f'stroke-linejoin="round"/>')
        if self.index is not None:
            out += self.index.svg(x + 0.02 * s, y - 0.46 * s)
        return out + self.c.svg(x + self.sign + 0.06 * s, y)


# Building blocks at a given size.
def sym(letter, size, sub=None, sup=None):
    """An italic symbol with an upright subscript and/or a superscript."""
    s = 0.66 * size
    if not sub and not sup:
        return T(letter, size, True)
    return Scripts(T(letter, size, True), size, T(sub, s) if sub else None, T(sup, s) if sup else None)


def op(o, size):
    return Row(Gap(0.22 * size), T(o, size), Gap(0.22 * size))


def num(v, size):
    return T(v, size)


def sp(size, k=0.18):
    return Gap(k * size)


def theta_fn(name, size, power=None):
    head = Scripts(T(name, size), size, None, T(power, 0.66 * size)) if power else T(name, size)
    return Row(head, sp(size, 0.16), T("\u03b8", size, True))


def picture(lines, size, line_gap, first=(0.0, 0.0)):
    """Stacks formula lines (left-aligned) into one SVG. Pictures shown side
    by side get the same `first` (ascent, descent of the first line) so that
    their baselines line up."""
    margin = 0.3 * size
    width = max(b.w for b in lines) + 2 * margin
    y = margin + max(lines[0].asc, first[0])
    parts = []
    for i, b in enumerate(lines):
        if i:
            y += max(lines[i - 1].desc, first[1] if i == 1 else 0.0) + line_gap + b.asc
        parts.append(b.svg(margin, y))
    height = y + lines[-1].desc + margin
    W, H = int(width + 0.999), int(height + 0.999)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" viewBox="0 0 {W} {H}">'
            f'<g font-family="{FAMILY}" fill="{INK}">' + "".join(parts) + "</g></svg>\n")


def formulas(size=15):
    small = 13
    S = size

    def hg(p=None):
        return sym("H", S, "G", p)

    def hl(p=None):
        return sym("H", S, "L", p)

    # The fifth root of the Thompson-Cox-Hastings polynomial.
    poly = Row(hg("5"), op("+", S), num("2.69269", S), sp(S), hg("4"), hl(),
               op("+", S), num("2.42843", S), sp(S), hg("3"), hl("2"),
               op("+", S), num("4.47163", S), sp(S), hg("2"), hl("3"),
               op("+", S), num("0.07842", S), sp(S), hg(), hl("4"),
               op("+", S), hl("5"))
    h_pv = Row(sym("H", S, "pV"), op("=", S), Root(poly, S, T("5", 0.62 * S)))

    # Gaussian width: the instrument terms and the Gaussian size term.
    inner = Row(sym("U", S), sp(S), theta_fn("tan", S, "2"), op("+", S), sym("V", S), sp(S), theta_fn("tan", S),
                op("+", S), sym("W", S), op("+", S), sym("H", S, "GS", "2"))
    h_g = [Row(sym("H", S, "G"), op("=", S), Root(inner, S)),
           Row(sym("H", small, "GS"), op("=", small), num("0.835737", small), op("\u00b7", small),
               sym("H", small, "INT"), T(",", small), Gap(1.2 * small),
               sym("P", small, "G"), op("=", small), sym("H", small, "GS"), op("\u00b7", small),
               theta_fn("cos", small))]

    # Lorentzian width.
    h_l = [Row(sym("H", S, "L"), op("=", S), sym("X", S), sp(S), theta_fn("tan", S), op("+", S),
               Frac(sym("Y", S), theta_fn("cos", S), S), op("+", S), sym("H", S, "LS")),
           Row(sym("H", small, "LS"), op("=", small), num("0.292285", small), op("\u00b7", small),
               sym("H", small, "INT"), T(",", small), Gap(1.2 * small),
               sym("P", small, "L"), op("=", small), sym("H", small, "LS"), op("\u00b7", small),
               theta_fn("cos", small))]

    # The size broadening in degrees 2-theta (lambda and D in the same unit).
    h_int = Row(sym("H", S, "INT"), op("=", S), Frac(num("4", S), num("3", S), S), op("\u00b7", S),
                Frac(Row(num("0.83005", S), sp(S), T("\u03bb", S, True)),
                     Row(sym("D", S), sp(S), theta_fn("cos", S)), S),
                op("\u00b7", S), Frac(num("180\u00b0", S), T("\u03c0", S, True), S))

    # The Lorentzian share of the mixture.
    def q(power=None):
        frac = Paren(Frac(sym("H", S, "L"), sym("H", S, "pV"), S), S)
        return Scripts(frac, S, None, T(power, 0.66 * S)) if power else frac

    eta = Row(sym("\u03b7", S, "TCH"), op("=", S), num("1.36603", S), sp(S), q(),
              op("\u2212", S), num("0.47719", S), sp(S), q("2"),
              op("+", S), num("0.11116", S), sp(S), q("3"))

    # H_G beside H_L, H_INT beside eta (the info window's rows).
    row2 = (max(h_g[0].asc, h_l[0].asc), max(h_g[0].desc, h_l[0].desc))
    row3 = (max(h_int.asc, eta.asc), max(h_int.desc, eta.desc))
    return {
        "h-pv": picture([h_pv], S, 0),
        "h-g": picture(h_g, S, 0.5 * S, row2),
        "h-l": picture(h_l, S, 0.5 * S, row2),
        "h-int": picture([h_int], S, 0, row3),
        "eta": picture([eta], S, 0, row3),
    }


def symbols(height=18):
    """Header symbols: one line of 18 pixels, as wide as each needs."""
    S = 13.0

    def sym(letter, size, sub):
        # Smaller, higher subscripts than in the formulas: descenders must stay inside.
        return Scripts(T(letter, size, True), size, T(sub, 0.64 * size), None, sub_drop=0.2)

    items = {
        "two-theta": Row(T("2", S), T("\u03b8", S, True)),
        "h-pv": sym("H", S, "pV"),
        "h-g": sym("H", S, "G"),
        "h-l": sym("H", S, "L"),
        "lambda": T("\u03bb", S, True),
        "h-int": sym("H", S, "INT"),
        "eta": T("\u03b7", S, True),
        "p-g": sym("P", S, "G"),
        "p-l": sym("P", S, "L"),
        # |F|^2 of the reflection table: an italic F with a raised 2.
        "f-squared": Scripts(T("F", S, True), S, None, T("2", 0.64 * S)),
    }
    out = {}
    for name, b in items.items():
        W = int(b.w + 2.999)
        y = 12.8  # baseline: capitals fill the upper part, subscripts reach the bottom
        out[name] = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{height}" '
                     f'viewBox="0 0 {W} {height}"><g font-family="{FAMILY}" fill="{INK}">'
                     + b.svg(1.0, y) + "</g></svg>\n")
    return out


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for folder, pictures in (("formulas", formulas()), ("symbols", symbols())):
        os.makedirs(os.path.join(here, folder), exist_ok=True)
        for name, text in pictures.items():
            with open(os.path.join(here, folder, name + ".svg"), "w", encoding="utf-8") as fh:
                fh.write(text)
