"""Powder diffraction patterns of crystal structures with Pelmora's own calculation.

Read a structure file (.xml), a CIF, a PDB or mmCIF file (a protein's) or an
older Tolvo input file (.dat), change its cell, sites or experiment, and get its
reflections and pattern as NumPy arrays -- the same numbers that
``pelmora-cli calc`` writes::

    import pelmora
    s = pelmora.read("NaCl.cif")
    r = s.reflections()          # dict of arrays: r["two_theta"], r["intensity"], ...
    tt, y = s.pattern()          # the pseudo-Voigt pattern, highest point 10000

The settings are the user's own (~/.config/Pelmora/Pelmora.ini) unless
``configure(settings=...)`` names another file.
"""

from ._pelmora import (
    Error,
    MeasuredData,
    PelmoraWarning,
    ReadError,
    Refinement,
    RefusedError,
    Site,
    Structure,
    WriteError,
    __version__,
    configure,
    fit,
    pattern_extension,
    profiles,
    read,
    read_measured,
)

__all__ = [
    "Error",
    "MeasuredData",
    "PelmoraWarning",
    "ReadError",
    "Refinement",
    "RefusedError",
    "Site",
    "Structure",
    "WriteError",
    "__version__",
    "configure",
    "fit",
    "pattern_extension",
    "profiles",
    "read",
    "read_measured",
]
