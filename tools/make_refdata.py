#!/usr/bin/env python3
"""Writes the reference data files of Data/: source.xml, aparat.xml, ions.xml,
izos.xml and anomals.xml.

Usage:
    python3 tools/make_refdata.py            regenerate Data/ and check it
    python3 tools/make_refdata.py --out DIR  write into DIR instead
    python3 tools/make_refdata.py --check    only check the files already there

Generating needs Debian's python3-cctbx, python3-xraydb and libncrystal1
(tools/install-refdata-deps.sh installs them); --check needs nothing beyond
the standard library. The files are written exactly as Pelmora's own writers
write them (CR LF line ends, tabs, fixed printf formats, decimal point), so
that loading them and saving them again from the program changes nothing but
the default marks of ions.xml, which the program reads and does not write.

Data sources, file by file:

ions.xml   X-ray form factors: International Tables for Crystallography,
           Vol. C (1992), Table 6.1.1.4, the four-Gaussian Cromer-Mann fits,
           as carried by cctbx (cctbx.eltbx.xray_scattering.it1992).
           Hydrogen is the free-atom fit ("Hiso"), not the bonded one.
izos.xml   Bound coherent neutron scattering lengths, real parts, in fm:
           V. F. Sears, Neutron News 3 (1992) 26-37.
           Natural elements (mass number 0) from cctbx.eltbx.neutron; where
           that table has no natural entry (Ra, Pa), and for all isotopes, the
           same Sears values as built into NCrystal (libncrystal1).
anomals.xml f' and f'' at the K-alpha1 lines of Cu, Mo, Co, Fe, Cr and Ag:
           S. Sasaki, KEK Report 88-14 (1989), via cctbx.eltbx.sasaki, and
           C. T. Chantler, J. Phys. Chem. Ref. Data 24 (1995) 71; 29 (2000)
           597, via xraydb.
source.xml X-ray wavelengths: J. A. Bearden, Rev. Mod. Phys. 39 (1967) 78,
           in A*.
           Neutron wavelengths: typical monochromator settings of
           constant-wavelength powder diffractometers.
aparat.xml Peak-width (Caglioti) starting values from the instrument
           parameter sets shipped with GSAS-II (B. H. Toby & R. B. Von Dreele,
           J. Appl. Cryst. 46 (2013) 544-549), converted to Pelmora's units
           (see GSAS_SETS below).
"""

import argparse
import math
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(os.path.dirname(HERE), "Data")

MAX_ELEMENT = 118      # the loader skips records of higher element numbers
MAX_PER_ELEMENT = 49   # tabulated ions (isotopes) one element can hold
MAX_TABLES = 255

# Characteristic lines, Bearden (1967), in A*. Kept here rather than taken
# from a library because cctbx rounds them to five decimals.
KALPHA = [
    # anode, K-alpha1, K-alpha2
    ("Cu", 1.540562, 1.544390),
    ("Mo", 0.709300, 0.713590),
    ("Co", 1.788965, 1.792850),
    ("Fe", 1.936042, 1.939980),
    ("Cr", 2.289700, 2.293606),
    ("Ag", 0.5594075, 0.563798),
]
KALPHA2_RATIO = 0.5

# Neutron wavelengths of constant-wavelength powder instruments, in A:
# 1.594 as on ILL D2B (Ge 335), 1.8 a common thermal-beam setting,
# 1.909 as on ILL D1A (Ge 115, the set "Neutrony D1A" below was fitted there),
# 2.52 as on ILL D1B (pyrolytic graphite 002).
NEUTRON_WAVELENGTHS = [1.594, 1.8, 1.909, 2.52]

# GSAS-II's Caglioti coefficients describe the Gaussian *variance* in
# centidegrees squared, sigma^2 = U tan^2(theta) + V tan(theta) + W, and the
# Lorentzian FWHM in centidegrees, gamma = X / cos(theta) + Y tan(theta).
# Pelmora's U, V, W give the Gaussian FWHM squared in degrees squared,
# H^2 = U tan^2 + V tan + W, and its Lorentzian FWHM in degrees is
# X tan(theta) + Y / cos(theta): so U, V, W scale by 8 ln 2 / 100^2 and the
# two Lorentzian terms swap places and scale by 1 / 100.
GSAS_SETS = [
    # name, U, V, W, X, Y in GSAS-II's units, provenance
    ("Lab. Bragg-Brentano", 2.0, -2.0, 5.0, 0.0, 0.0),                  # "CuKa lab data"
    ("Synchrotron 11-BM", 1.163, -0.126, 0.063, 0.0, 0.0),              # "APS 30keV 11BM", 0.413 A
    ("Neutrony D1A", 257.182710995, -640.525145369, 569.378664828, 0.0, 0.0),  # "1.9A ILL D1A CW data"
]

HC_EV_ANGSTROM = 12398.419843320026   # CODATA 2018, for Chantler's energy grid

ION_KEYS = ("a1", "b1", "a2", "b2", "a3", "b3", "a4", "b4", "c")
CRLF = "\r\n"
HEADER = '<?xml version="1.0"?>' + CRLF + "<pelmora>" + CRLF
FOOTER = "</pelmora>" + CRLF


class CheckFailed(Exception):
    pass


# --- formatting ------------------------------------------------------------

def fmt(value, decimals):
    """printf("%.Nf") with a decimal point whatever the locale (Python's %
    operator never consults it); a value that rounds to zero is written
    without a minus sign so that a load and save round-trip is byte-stable."""
    text = "%.*f" % (decimals, value)
    if float(text) == 0.0:
        text = "%.*f" % (decimals, 0.0)
    return text


def shortest_f32(value):
    """cctbx keeps its tables in single precision: 11.7695 comes back as
    11.769499778747559. Recover the shortest decimal that maps to the same
    float, i.e. the number as it stood in the printed table."""
    as_f32 = struct.unpack("f", struct.pack("f", value))[0]
    for digits in range(1, 10):
        candidate = float("%.*g" % (digits, value))
        if struct.unpack("f", struct.pack("f", candidate))[0] == as_f32:
            return candidate
    return value


def write_file(path, lines):
    with open(path, "wb") as out:
        out.write((HEADER + "".join(lines) + FOOTER).encode("utf-8"))


# --- ions.xml ---------------------------------------------------------------

ION_LABEL = re.compile(r"^([A-Z][a-z]?)(?:(\d+)([+-]))?$")


def collect_ions():
    from cctbx.eltbx import xray_scattering
    from cctbx.eltbx import chemical_elements

    numbers = {sym: i + 1 for i, sym in enumerate(chemical_elements.proper_caps_list())}
    per_element = {}
    for entry in xray_scattering.it1992_iterator():
        label = entry.label()
        if label == "H":
            continue            # the bonded (SDS) hydrogen; "Hiso" stands in for H
        if label == "Hiso":
            label = "H"
        match = ION_LABEL.match(label)
        if not match:
            continue            # valence-state pseudo-labels such as "Cval", "Sival"
        symbol, size, sign = match.groups()
        charge = int(size) * (1 if sign == "+" else -1) if size else 0
        gaussian = entry.fetch()
        a, b = gaussian.array_of_a(), gaussian.array_of_b()
        coeffs = {"c": shortest_f32(gaussian.c())}
        for i in range(4):
            coeffs["a%d" % (i + 1)] = shortest_f32(a[i])
            coeffs["b%d" % (i + 1)] = shortest_f32(b[i])
        per_element.setdefault(numbers[symbol], []).append((charge, coeffs))
    return per_element


def ion_lines(per_element):
    lines = []
    for nr in sorted(per_element):
        ions = per_element[nr]
        # The neutral atom is what a newly picked element should start with.
        default = next((i for i, (charge, _) in enumerate(ions) if charge == 0), None)
        for i, (charge, coeffs) in enumerate(ions):
            mark = ' default="1"' if i == default else ""
            lines.append('<ION nr="%d" charge="%d"%s>' % (nr, charge, mark) + CRLF)
            for key in ION_KEYS:
                lines.append("\t<%s>%s</%s>" % (key, fmt(coeffs[key], 6), key) + CRLF)
            lines.append("</ION>" + CRLF)
    return lines


# --- izos.xml ---------------------------------------------------------------

def ncrystal_atom_db():
    """All (Z, A, b_coh in fm) entries of NCrystal's built-in atom data base,
    through its C interface (Debian packages no Python module for it)."""
    import ctypes

    lib = ctypes.CDLL("libNCrystal.so.1")

    class Handle(ctypes.Structure):
        _fields_ = [("internal", ctypes.c_void_p)]

    lib.ncrystal_atomdatadb_getnentries.restype = ctypes.c_uint
    lib.ncrystal_atomdatadb_getnentries.argtypes = []
    lib.ncrystal_atomdatadb_getallentries.restype = None
    lib.ncrystal_atomdatadb_getallentries.argtypes = [ctypes.POINTER(ctypes.c_uint)] * 2
    lib.ncrystal_create_atomdata_fromdb.restype = Handle
    lib.ncrystal_create_atomdata_fromdb.argtypes = [ctypes.c_uint, ctypes.c_uint]
    lib.ncrystal_atomdata_getfields.restype = None
    lib.ncrystal_atomdata_getfields.argtypes = (
        [Handle] + [ctypes.POINTER(ctypes.c_char_p)] * 2 + [ctypes.POINTER(ctypes.c_double)] * 4
        + [ctypes.POINTER(ctypes.c_uint)] * 3)
    lib.ncrystal_unref.restype = None
    lib.ncrystal_unref.argtypes = [ctypes.c_void_p]

    count = lib.ncrystal_atomdatadb_getnentries()
    zs = (ctypes.c_uint * count)()
    as_ = (ctypes.c_uint * count)()
    lib.ncrystal_atomdatadb_getallentries(zs, as_)
    entries = []
    for z, a in zip(zs, as_):
        handle = lib.ncrystal_create_atomdata_fromdb(z, a)
        if not handle.internal:
            raise RuntimeError("NCrystal has no atom data for Z=%d A=%d" % (z, a))
        label, description = ctypes.c_char_p(), ctypes.c_char_p()
        mass, incxs, coh_fm, absxs = (ctypes.c_double() for _ in range(4))
        ncomp, zval, aval = (ctypes.c_uint() for _ in range(3))
        lib.ncrystal_atomdata_getfields(
            handle, ctypes.byref(label), ctypes.byref(description), ctypes.byref(mass),
            ctypes.byref(incxs), ctypes.byref(coh_fm), ctypes.byref(absxs),
            ctypes.byref(ncomp), ctypes.byref(zval), ctypes.byref(aval))
        entries.append((int(z), int(a), coh_fm.value))
        lib.ncrystal_unref(ctypes.byref(handle))
    return entries


# NCrystal replaced Sears' 40Ca (4.80 fm) by a later measurement; keep the
# isotope list consistent with the natural calcium value, which is Sears'.
SEARS_OVERRIDES = {(20, 40): 4.80}


def collect_isotopes():
    from cctbx.eltbx import neutron
    from cctbx.eltbx import chemical_elements

    numbers = {sym: i + 1 for i, sym in enumerate(chemical_elements.proper_caps_list())}
    natural = {}
    for entry in neutron.neutron_news_1992_table_iterator():
        label = entry.label()
        if label in numbers:      # skips ions ("Fe2+") and "D", which is 2H
            natural[numbers[label]] = shortest_f32(entry.bound_coh_scatt_length().real)

    isotopes = {}
    for z, a, b in ncrystal_atom_db():
        if a == 0:
            natural.setdefault(z, b)
        else:
            isotopes.setdefault(z, []).append((a, SEARS_OVERRIDES.get((z, a), b)))

    per_element = {}
    for z in sorted(set(natural) | set(isotopes)):
        records = []
        if z in natural:
            records.append((0, natural[z]))
        records.extend(sorted(isotopes.get(z, [])))
        per_element[z] = records
    return per_element


def isotope_lines(per_element):
    lines = []
    for nr in sorted(per_element):
        for i, (mass, s) in enumerate(per_element[nr]):
            # The program marks the first isotope when none is marked, and
            # the natural mixture comes first wherever there is one.
            mark = ' default="1"' if i == 0 else ""
            lines.append('<IZO nr="%d" mass="%d"%s>' % (nr, mass, mark) + CRLF)
            lines.append("\t<s>%s</s>" % fmt(s, 5) + CRLF)
            lines.append("</IZO>" + CRLF)
    return lines


# --- anomals.xml ------------------------------------------------------------

def collect_anomal_tables():
    from cctbx.eltbx import sasaki
    import xraydb

    sasaki_elements = {e.atomic_number(): e.label() for e in sasaki.table_iterator()}
    tables = []
    for anode, lambda1, _ in KALPHA:
        values = {}
        for z, symbol in sorted(sasaki_elements.items()):
            f = sasaki.table(symbol).at_angstrom(lambda1)
            values[z] = (shortest_f32(f.fp()), shortest_f32(f.fdp()))
        tables.append(("%s Ka1 (Sasaki)" % anode, values))
    for anode, lambda1, _ in KALPHA:
        energy = HC_EV_ANGSTROM / lambda1
        values = {}
        for z in range(1, MAX_ELEMENT + 1):
            try:
                values[z] = (float(xraydb.f1_chantler(z, energy)),
                             float(xraydb.f2_chantler(z, energy)))
            except Exception:
                break             # Chantler's tables end at uranium
        tables.append(("%s Ka1 (Chantler)" % anode, values))
    return tables


def anomal_lines(tables):
    lines = []
    for name, values in tables:
        for z in range(1, MAX_ELEMENT + 1):
            fp, fdp = values.get(z, (0.0, 0.0))
            fp_text, fdp_text = fmt(fp, 6), fmt(fdp, 6)
            # Element 1 is always written: a table exists only once one of
            # its records has been read.
            if z > 1 and float(fp_text) == 0.0 and float(fdp_text) == 0.0:
                continue
            lines.append('\t<anomal name="%s" atom="%d">' % (name, z) + CRLF)
            lines.append("\t\t<f_prim>%s</f_prim>" % fp_text + CRLF)
            lines.append("\t\t<f_bis>%s</f_bis>" % fdp_text + CRLF)
            lines.append("\t</anomal>" + CRLF)
    return lines


# --- source.xml and aparat.xml ----------------------------------------------

def collect_sources():
    from cctbx.eltbx import wavelengths

    # Guard against a typing slip in KALPHA: cctbx has the same lines, rounded
    # to 1e-5 (all but cobalt's).
    rounded = {w.label(): w.as_angstrom() for w in wavelengths.characteristic_iterator()}
    for anode, l1, l2 in KALPHA:
        for line, value in (("A1", l1), ("A2", l2)):
            if anode + line in rounded and abs(rounded[anode + line] - value) > 2e-5:
                raise RuntimeError("%s K-alpha %s: %g here, %g in cctbx"
                                   % (anode, line, value, rounded[anode + line]))
    sources = [("%s Ka" % anode, "x", l1, l2, KALPHA2_RATIO) for anode, l1, l2 in KALPHA]
    # Behind a primary monochromator only K-alpha1 is left.
    sources.append(("Cu Ka1", "x", KALPHA[0][1], 0.0, 0.0))
    for wavelength in NEUTRON_WAVELENGTHS:
        sources.append(("Neutrony %g A" % wavelength, "n", wavelength, 0.0, 0.0))
    return sources


def source_lines(sources):
    lines = []
    for name, kind, l1, l2, ratio in sources:
        lines.append('\t<source name="%s" type="%s">' % (name, kind) + CRLF)
        lines.append("\t\t<lambda1>%s</lambda1>" % fmt(l1, 10) + CRLF)
        lines.append("\t\t<lambda2>%s</lambda2>" % fmt(l2, 10) + CRLF)
        lines.append("\t\t<ratio>%s</ratio>" % fmt(ratio, 10) + CRLF)
        lines.append("\t</source>" + CRLF)
    return lines


def collect_apparatus_sets():
    gauss = 8.0 * math.log(2.0) / 100.0 ** 2
    sets = [("Zero", 0.0, 0.0, 0.0, 0.0, 0.0)]
    for name, u, v, w, x_sec, y_tan in GSAS_SETS:
        sets.append((name, u * gauss, v * gauss, w * gauss, y_tan / 100.0, x_sec / 100.0))
    return sets


def apparatus_lines(sets):
    lines = []
    for name, u, v, w, x, y in sets:
        lines.append('\t<aparat name="%s">' % name + CRLF)
        lines.append("\t\t<u>%s</u><v>%s</v><w>%s</w><x>%s</x><y>%s</y>"
                     % tuple(fmt(val, 10) for val in (u, v, w, x, y)) + CRLF)
        lines.append("\t</aparat>" + CRLF)
    return lines


# --- checks -----------------------------------------------------------------
# Only the standard library, so that the committed files can be checked on a
# machine without the data packages.

NUM = r"-?\d+\.\d{%d}"
RECORD_PATTERNS = {
    "source.xml": (r'\t<source name="([^"<>&]*)" type="([xn])">\r\n'
                   r"\t\t<lambda1>(%s)</lambda1>\r\n\t\t<lambda2>(%s)</lambda2>\r\n"
                   r"\t\t<ratio>(%s)</ratio>\r\n\t</source>\r\n") % ((NUM % 10,) * 3),
    "aparat.xml": (r'\t<aparat name="([^"<>&]*)">\r\n'
                   r"\t\t<u>(%s)</u><v>(%s)</v><w>(%s)</w><x>(%s)</x><y>(%s)</y>\r\n"
                   r"\t</aparat>\r\n") % ((NUM % 10,) * 5),
    "ions.xml": (r'<ION nr="(\d+)" charge="(-?\d+)"( default="1")?>\r\n'
                 + "".join(r"\t<%s>(%s)</%s>\r\n" % (k, NUM % 6, k) for k in ION_KEYS)
                 + r"</ION>\r\n"),
    "izos.xml": (r'<IZO nr="(\d+)" mass="(\d+)"( default="1")?>\r\n'
                 r"\t<s>(%s)</s>\r\n</IZO>\r\n") % (NUM % 5),
    "anomals.xml": (r'\t<anomal name="([^"<>&]*)" atom="(\d+)">\r\n'
                    r"\t\t<f_prim>(%s)</f_prim>\r\n\t\t<f_bis>(%s)</f_bis>\r\n"
                    r"\t</anomal>\r\n") % (NUM % 6, NUM % 6),
}


def read_records(directory, name):
    """Checks the whole file against the written layout, byte for byte apart
    from the numbers, and returns its records as tuples of strings."""
    path = os.path.join(directory, name)
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-8")
    ET.fromstring(raw)   # well-formed for any XML reader, too
    pattern = RECORD_PATTERNS[name]
    if not re.fullmatch(re.escape(HEADER) + "(?:" + pattern + ")*" + re.escape(FOOTER), text):
        raise CheckFailed("%s does not follow the written layout" % path)
    return [m.groups() for m in re.finditer(pattern, text)]


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def near(text, value, tolerance):
    return abs(float(text) - value) <= tolerance


def check_per_element(records, what):
    counts, defaults = {}, {}
    for rec in records:
        nr = int(rec[0])
        expect(1 <= nr <= MAX_ELEMENT, "%s: element number %d out of range" % (what, nr))
        counts[nr] = counts.get(nr, 0) + 1
        if rec[2]:
            defaults[nr] = defaults.get(nr, 0) + 1
    numbers = [int(rec[0]) for rec in records]
    expect(numbers == sorted(numbers), "%s: records not in element order" % what)
    expect(max(counts.values()) <= MAX_PER_ELEMENT, "%s: more than %d records for one element"
           % (what, MAX_PER_ELEMENT))
    expect(all(defaults.get(nr) == 1 for nr in counts),
           "%s: not exactly one default per element" % what)
    return counts


def check_files(directory):
    summary = {}

    ions = read_records(directory, "ions.xml")
    counts = check_per_element(ions, "ions.xml")
    expect(sorted(counts) == list(range(1, 99)), "ions.xml: elements 1..98 expected")
    for rec in ions:
        expect(not rec[2] or rec[1] == "0", "ions.xml: default ion of %s is not neutral" % rec[0])
    neutral = {int(r[0]): dict(zip(ION_KEYS, r[3:])) for r in ions if r[1] == "0"}
    fe, si, h = neutral[26], neutral[14], neutral[1]
    expect(near(fe["a1"], 11.7695, 5e-7) and near(fe["b1"], 4.7611, 5e-7)
           and near(fe["c"], 1.0369, 5e-7), "ions.xml: Fe coefficients %r" % fe)
    expect(near(si["a1"], 6.2915, 5e-7), "ions.xml: Si a1 %s" % si["a1"])
    # The free-atom fit must sum to one electron at sin(theta)/lambda = 0;
    # the bonded one (a1 = 0.493002) would sit there too, so check a1 as well.
    h_sum = sum(float(h[k]) for k in ("a1", "a2", "a3", "a4", "c"))
    expect(abs(h_sum - 1.0) < 2e-3 and near(h["a1"], 0.489918, 5e-7),
           "ions.xml: hydrogen is not the free-atom fit")
    expect(all(abs(sum(float(v[k]) for k in ("a1", "a2", "a3", "a4", "c")) - z) < 0.05 * z + 0.01
               for z, v in neutral.items()), "ions.xml: f0(0) of a neutral atom is not Z")
    summary["ions"] = len(ions)

    izos = read_records(directory, "izos.xml")
    check_per_element(izos, "izos.xml")
    b = {(int(r[0]), int(r[1])): r[3] for r in izos}
    expect(b.get((26, 0)) == "9.45000", "izos.xml: b(Fe) %s" % b.get((26, 0)))
    expect(b.get((1, 0)) == "-3.73900", "izos.xml: b(H) %s" % b.get((1, 0)))
    expect(near(b.get((1, 2), "0"), 6.671, 5e-6), "izos.xml: b(2H) %s" % b.get((1, 2)))
    for rec in izos:
        expect(not rec[2] or rec[1] == "0" or (int(rec[0]), 0) not in b,
               "izos.xml: element %s has a natural entry that is not its default" % rec[0])
    summary["isotopes"] = sum(1 for r in izos if r[1] != "0")
    summary["natural elements"] = sum(1 for r in izos if r[1] == "0")

    anomals = read_records(directory, "anomals.xml")
    names = []
    first_atom = {}
    for name, atom, fp, fdp in anomals:
        expect(1 <= int(atom) <= MAX_ELEMENT, "anomals.xml: atom %s out of range" % atom)
        if name not in first_atom:
            names.append(name)
            first_atom[name] = atom
        expect(int(atom) == 1 or float(fp) != 0.0 or float(fdp) != 0.0,
               "anomals.xml: all-zero record for atom %s in %s" % (atom, name))
    expect(all(a == "1" for a in first_atom.values()), "anomals.xml: a table does not start at atom 1")
    expect(len(names) <= MAX_TABLES, "anomals.xml: too many tables")
    for name in names:
        atoms = [int(a) for n, a, _, _ in anomals if n == name]
        expect(atoms == sorted(set(atoms)), "anomals.xml: %s is not in atom order" % name)
    table = {(n, int(a)): (fp, fdp) for n, a, fp, fdp in anomals}
    fe_cu = table.get(("Cu Ka1 (Sasaki)", 26))
    expect(fe_cu is not None and near(fe_cu[1], 3.197, 1e-3) and near(fe_cu[0], -1.179, 1e-3),
           "anomals.xml: Fe at Cu Ka1 (Sasaki) %r" % (fe_cu,))
    fe_cu_ch = table.get(("Cu Ka1 (Chantler)", 26))
    expect(fe_cu_ch is not None and near(fe_cu_ch[1], 3.197, 0.05),
           "anomals.xml: Fe at Cu Ka1 (Chantler) %r" % (fe_cu_ch,))
    summary["anomalous tables"] = len(names)

    sources = read_records(directory, "source.xml")
    by_name = {s[0]: s for s in sources}
    expect(len(by_name) == len(sources), "source.xml: duplicate names")
    cu = by_name.get("Cu Ka")
    expect(cu is not None and cu[1:] == ("x", "1.5405620000", "1.5443900000", "0.5000000000"),
           "source.xml: Cu Ka %r" % (cu,))
    for name, kind, l1, l2, ratio in sources:
        expect(float(l1) > float(l2) if kind == "n" else float(l1) < float(l2) or float(l2) == 0.0,
               "source.xml: odd wavelengths in %s" % name)
        expect(kind == "x" or (float(l2) == 0.0 and float(ratio) == 0.0),
               "source.xml: neutron source %s has a second line" % name)
    summary["sources"] = len(sources)

    sets = read_records(directory, "aparat.xml")
    zero = [s for s in sets if s[0] == "Zero"]
    expect(len(zero) == 1 and all(float(v) == 0.0 for v in zero[0][1:]), "aparat.xml: no all-zero set")
    for name, u, v, w, x, y in sets:
        # The Gaussian FWHM^2 must stay positive over the whole 2-theta range.
        for two_theta in range(1, 180):
            t = math.tan(math.radians(two_theta / 2.0))
            h2 = float(u) * t * t + float(v) * t + float(w)
            expect(h2 >= 0.0, "aparat.xml: %s gives a negative FWHM^2 at %d deg" % (name, two_theta))
    summary["apparatus sets"] = len(sets)
    summary["Fe a1 b1 c"] = (fe["a1"], fe["b1"], fe["c"])
    summary["Si a1"] = si["a1"]
    summary["b(Fe) b(H)"] = (b[(26, 0)], b[(1, 0)])
    summary["Fe f' f'' Cu Ka1 Sasaki"] = fe_cu
    return summary


# --- main -------------------------------------------------------------------

def import_data_packages():
    try:
        import cctbx.eltbx.xray_scattering  # noqa: F401
        import xraydb  # noqa: F401
    except ImportError:
        # Debian's python3-* modules belong to /usr/bin/python3; a python3
        # from pyenv or a virtualenv earlier on PATH cannot see them.
        system = "/usr/bin/python3"
        if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system) \
                and not os.environ.get("MAKE_REFDATA_REEXEC"):
            os.environ["MAKE_REFDATA_REEXEC"] = "1"
            os.execv(system, [system] + sys.argv)
        sys.exit("make_refdata: python3-cctbx and python3-xraydb are needed; "
                 "run tools/install-refdata-deps.sh")


def generate(directory):
    import_data_packages()
    os.makedirs(directory, exist_ok=True)
    write_file(os.path.join(directory, "ions.xml"), ion_lines(collect_ions()))
    write_file(os.path.join(directory, "izos.xml"), isotope_lines(collect_isotopes()))
    write_file(os.path.join(directory, "anomals.xml"), anomal_lines(collect_anomal_tables()))
    write_file(os.path.join(directory, "source.xml"), source_lines(collect_sources()))
    write_file(os.path.join(directory, "aparat.xml"), apparatus_lines(collect_apparatus_sets()))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=DEFAULT_OUT, help="directory to write (default: Data/)")
    parser.add_argument("--check", action="store_true", help="only check the files already there")
    args = parser.parse_args()
    if not args.check:
        generate(args.out)
    try:
        summary = check_files(args.out)
    except (CheckFailed, OSError, ET.ParseError) as error:
        sys.exit("make_refdata: CHECK FAILED: %s" % error)
    for key, value in summary.items():
        print("%-26s %s" % (key, value))
    print("make_refdata: %s checked" % args.out)


if __name__ == "__main__":
    main()
