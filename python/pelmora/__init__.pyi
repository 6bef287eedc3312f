"""Powder diffraction patterns of crystal structures with Pelmora's own calculation."""

import os
from typing import Any, Iterable, Iterator, Literal, Optional, Sequence, Tuple, TypedDict

import numpy as np
import numpy.typing as npt

_Path = str | os.PathLike[str]

__version__: str
"""The version of Pelmora the module was built with ("0.1.0")."""

class Error(Exception):
    """A structure could not be read, calculated or written.

    The message is in English; ``polish`` keeps the program's own message, as pelmora-cli and
    the desktop program give it. ``status`` is the exit status pelmora-cli gives for the same
    failure.
    """

    status: int
    polish: str

class ReadError(Error):
    """The file could not be read as a structure (status 2); ``polish`` holds the program's message."""

class RefusedError(Error):
    """The values would make the intensities infinite or undefined (status 3); the message names the value."""

class WriteError(Error):
    """A result file could not be written (status 4)."""

class PelmoraWarning(UserWarning):
    """What a file or a run left out or changed: CIF sites merged or skipped, peaks left out of a pattern."""

def configure(
    settings: _Path | None = None, data_dir: _Path | None = None, plugins_dir: _Path | None = None
) -> None:
    """Starts the session the following ``read`` calls use, as pelmora-cli starts its run.

    settings: an INI settings file, like ``pelmora-cli --settings`` (default: the user's own,
    ~/.config/Pelmora/Pelmora.ini; first-run defaults for what it does not hold).
    data_dir: the reference-data folder, like ``--data-dir`` (default: the settings' DataDir,
    the shipped Data beside the module).
    plugins_dir: the plug-ins folder, like ``--plugins`` (default: the settings' PluginsDir,
    the shipped plug-ins beside the module).
    Structures read before keep the session they were read with.
    """

def read(path: _Path, block: str | None = None) -> Structure:
    """Reads a structure file (.xml), a CIF (.cif or a file opening a data_ block), a PDB or
    mmCIF file of a macromolecule (.pdb, .ent, or a CIF with Cartesian atom sites) or an older
    Tolvo input file (.dat).

    block: the data block of a CIF to read (any case); default the first with atom sites. A CIF
    of several blocks names the others in a PelmoraWarning.

    Raises ReadError with the program's message when the file cannot be read; what the reader
    reports about a file it did read (merged or skipped CIF sites, for one) comes as PelmoraWarning.
    """

def profiles() -> list[str]:
    """The peak profiles ``pattern`` accepts: "brak" (sticks), "Gauss", "Lorentz", "pseudo Voigt",
    then those of the plug-ins."""

def pattern_extension(format: str | None = None) -> str:
    """The extension a pattern file gets in the format (label or extension; None: the text
    format, ".txt"), as ``pelmora-cli calc --out-dir`` names its pattern files."""

class MeasuredData:
    """A measured pattern as read, sorted by angle; unpacks as (two_theta, counts, sigma)."""

    @property
    def two_theta(self) -> npt.NDArray[np.float64]: ...
    @property
    def counts(self) -> npt.NDArray[np.float64]: ...
    @property
    def sigma(self) -> npt.NDArray[np.float64] | None:
        """None when the file has no third column."""
    @property
    def skipped_lines(self) -> int:
        """Lines of plain columns left out: no row of numbers, or a cut last line."""
    @property
    def format(self) -> str: ...
    @property
    def note(self) -> str:
        """What the reader left out, as the program says it; empty when nothing."""
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Any]: ...
    def __getitem__(self, index: int) -> Any: ...

def read_measured(path: _Path) -> MeasuredData:
    """Reads a measured pattern in any format xylib knows (plain columns, Bruker RAW and UXD,
    PANalytical XRDML, Rigaku, ...) as ``pelmora-cli fit`` reads it: two_theta, counts, sigma
    sorted by angle (sigma None when the file has no third column) and the lines skipped.

    Raises ReadError with the reader's message; a file's further scans or unreadable lines left
    out come as PelmoraWarning.
    """

_Refinable = Literal[
    "scale", "zero", "background", "uvw", "xy", "cell", "size", "strain", "positions", "occupancy", "biso",
    "orientation", "asymmetry", "displacement", "transparency", "wavelength",
]
_Array = npt.NDArray[np.float64]

class FitPhase(TypedDict):
    """One structure's part of a fit."""

    name: str
    scale: float
    scale_esd: float
    weight_fraction: float
    """Hill-Howard weight fraction; NaN when an atom's mass is unknown."""
    grain_size: float
    grain_size_esd: float
    cell: _Array
    """a, b, c, alpha, beta, gamma as refined (or as given)."""
    cell_esd: _Array
    """0 for the constants not refined or tied by the crystal system."""
    cell_mass: float
    volume: float
    curve: _Array
    """s * I(t - z) at the fitted points."""

class FitResult(TypedDict):
    """What ``fit`` returns: the numbers of ``pelmora-cli fit --report`` and the curves of its
    ``--residuals`` file."""

    points: int
    parameters: int
    iterations: int
    rp: float
    """Percent."""
    rwp: float
    """Percent."""
    rexp: float
    """Percent."""
    chi2: float
    """(Rwp / Rexp)^2."""
    zero: float
    zero_esd: float
    background: _Array
    """Chebyshev coefficients over background_range."""
    background_esd: _Array
    background_range: tuple[float, float]
    uvw: tuple[float, float, float]
    uvw_esd: tuple[float, float, float]
    phases: list[FitPhase]
    two_theta: _Array
    observed: _Array
    calculated: _Array
    difference: _Array
    """observed - calculated."""
    background_curve: _Array
    weight: _Array
    """1 / sigma^2, else 1 / y_obs (1 where y_obs <= 0)."""

def fit(
    structures: Structure | Sequence[Structure],
    measured: _Path | tuple[npt.ArrayLike, npt.ArrayLike] | tuple[npt.ArrayLike, npt.ArrayLike, npt.ArrayLike | None],
    refine: str | Iterable[_Refinable] = ("scale", "zero", "background"),
    *,
    background_terms: int = 6,
    range: tuple[float, float] | None = None,
    profile: str | None = None,
    iterations: int = 100,
) -> FitResult:
    """Refines the structures against a measured pattern, as ``pelmora-cli fit`` does.

    A Rietveld refinement: y_calc = background + sum of s m |F|^2 LP P_PO times the
    Thompson-Cox-Hastings pseudo-Voigt (with strain and axial-divergence asymmetry), shifted by
    zero, displacement and transparency; a Chebyshev background of ``background_terms`` terms;
    weights 1/sigma^2, else 1/y_obs. ``refine`` names what is refined (a list or a
    comma-separated string); scales and background first, then cell and zero, then the profile,
    then the structure, each in at most ``iterations`` steps.

    measured: a file path (see ``read_measured``) or (two_theta, counts[, sigma]) arrays.
    range: the 2-theta range fitted; None for the first structure's range. profile: None or
    "pseudo Voigt", the one profile refined. The first structure's experiment (radiation,
    instrument) applies to all; the structures themselves are not changed.

    Returns the report of ``pelmora-cli fit --report`` as a dict (converged, warnings,
    correlations, values with esds, phases with sites) with the curves. Warnings come as
    PelmoraWarning. Raises ReadError for an unreadable file, ValueError for bad arguments,
    RefusedError (with the program's message) when the refinement is refused; Ctrl+C stops it
    (KeyboardInterrupt). ``Refinement`` does more: several patterns, orientation, values to fix,
    free and bound, the refined structure.
    """

class Refinement:
    """A Rietveld refinement, as ``pelmora-cli fit`` runs it, whose values can be read, set,
    fixed, freed and bounded between runs."""

    def __init__(
        self,
        structures: Structure | Sequence[Structure],
        measured: Any,
        refine: str | Iterable[_Refinable] = ("scale", "zero", "background"),
        *,
        background_terms: int = 6,
        range: tuple[float, float] | None = None,
        iterations: int = 100,
        staged: bool = True,
        radiation: str | Sequence[str | None] | None = None,
        wavelengths: Sequence[float] | Sequence[Sequence[float] | None] | None = None,
        monochromator: float | Sequence[float | None] | None = None,
        orientation: tuple[int, int, int] | dict[int, tuple[int, int, int]] | None = None,
        exclude: Sequence[tuple[float, float]] = (),
        le_bail: Sequence[int] = (),
        biso_per_element: bool = False,
    ) -> None:
        """measured: one pattern (a path or arrays) or a list of them, refined together;
        radiation ("x" or "n"), wavelengths ([l1, l2, ratio]) and monochromator (its 2-theta) once
        for all patterns or one per pattern; orientation: the March-Dollase axis (h, k, l) of the
        first structure or {index: (h, k, l)}; exclude: 2-theta regions left out; le_bail: indices
        of structures refined with free line intensities."""
    @property
    def names(self) -> list[str]:
        """The names of the model's values ("scale", "a", "Pb x", "O#2 B", ...)."""
    @property
    def parameters(self) -> list[dict[str, Any]]:
        """Every value: name, value, refine, lower, upper and, after a run, esd."""
    def __getitem__(self, name: str) -> float: ...
    def __setitem__(self, name: str, value: float) -> None: ...
    def fix(self, *names: str) -> None:
        """Keeps the named values as they are."""
    def free(self, *names: str) -> None:
        """Refines the named values."""
    def bound(self, name: str, lower: float | None = None, upper: float | None = None) -> None:
        """Sets a value's bounds."""
    def run(self) -> dict[str, Any]:
        """Refines; returns the report as ``fit`` does. The values stay at the solution."""
    def structure(self, index: int = 0) -> Structure:
        """The structure with its refined cell, sites and grain size, as a new Structure."""

class Line(TypedDict):
    two_theta: float
    d: float
    intensity: float
    hkls: list[tuple[tuple[int, int, int], int]]
    line: int

class Site:
    """One atom site of a structure.

    A site taken from ``Structure.sites`` is a view: setting its attributes changes the
    structure at once. ``Site(...)`` and ``copy()`` make free-standing sites, to be put into a
    structure by assigning a list to ``Structure.sites``.
    """

    def __init__(self, name: str = "", x: float = 0.0, y: float = 0.0, z: float = 0.0) -> None: ...
    name: str
    """The atom's name as the file gives it."""
    element: str
    """The element's symbol ("Si"), "X" for the placeholder. Setting it changes the element
    only, not the scattering factors."""
    atomic_number: int
    """The element's number, 1 to 118 (119 or 0: the placeholder "X")."""
    charge: int
    """Ion charge the X-ray factors are of."""
    x: float
    """Fractional coordinate along a."""
    y: float
    """Fractional coordinate along b."""
    z: float
    """Fractional coordinate along c."""
    position: tuple[float, float, float]
    """(x, y, z) at once. A site of a structure is never moved where another stands (up to whole
    cell translations and the centring): ValueError; moved coordinate by coordinate it may
    pass such a position, so move it with ``position``."""
    a: tuple[float, float, float, float]
    """Cromer-Mann coefficients a1..a4."""
    b: tuple[float, float, float, float]
    """Cromer-Mann coefficients b1..b4 (square angstrom)."""
    c: float
    """Cromer-Mann constant c."""
    neutron_length: float
    """Neutron scattering length (fm)."""
    f_prime: float
    """Anomalous dispersion f'."""
    f_double_prime: float
    """Anomalous dispersion f''."""
    occupancy: float
    """The share of the site its atom fills, greater than 0 and at most 1."""
    b_iso: float | None
    """The site's own isotropic displacement B (square angstrom); None: the structure's
    ``b_factor`` applies (when ``temperature_factor`` is on)."""
    @property
    def wyckoff(self) -> str | None:
        """The Wyckoff letter in the structure's space group; None without a group, for a
        free-standing site, or where the atoms have more symmetry than the group."""
    @property
    def multiplicity(self) -> int | None:
        """Atoms the site gives in the cell: the group's multiplicity, or without a group the
        centring's (1, 2 or 4); None for a free-standing site."""
    def copy(self) -> Site:
        """A free-standing copy of the site."""

class Structure:
    """A crystal structure with its experiment, as the program's document holds it.

    Every attribute can be read and set; a calculation takes the values as they are then.
    Lengths in angstrom, angles and 2-theta in degrees.
    """

    @property
    def path(self) -> str:
        """The file the structure was read from."""
    a: float
    b: float
    c: float
    alpha: float
    beta: float
    gamma: float
    cell: tuple[float, float, float, float, float, float]
    """(a, b, c, alpha, beta, gamma). The crystal system ties them as the structure page does:
    setting a free constant (a; c in a tetragonal cell, ...) sets those that follow it, and
    setting a tied or fixed one to another value raises ValueError; a whole cell must agree
    with its ties."""
    @property
    def volume(self) -> float:
        """Cell volume in cubic angstrom."""
    lattice: tuple[str, str]
    """(crystal system, centring): system "cubic", "tetragonal", "orthorhombic", "rhombohedral",
    "hexagonal", "monoclinic" or "triclinic"; centring "P", "I", "F" or "C". One of the 14
    lattice types; the sites are expanded by the centring, the cell is tied by the system. A new
    lattice type removes the sites, so it raises ValueError while there are any (``sites = []``
    first); with a space group the group decides it and setting it raises ValueError."""
    space_group: str | None
    """The space group's setting ("P 42/m n m", "F d -3 m:2"), or None. Set a Hermann-Mauguin
    symbol, a number (its first setting) or a Hall symbol: the cell is generated from the sites
    (atoms given without a group become its sites), and the lattice type and cell constants
    follow the group. None removes the group and keeps the generated atoms, each on its own."""
    @property
    def space_group_number(self) -> int | None:
        """The space group's number, 1 to 230, or None."""
    def find_symmetry(self, tolerance: float = 0.01, apply: bool = False) -> tuple[str, int, int] | None:
        """The space group whose operations keep the cell's atoms within ``tolerance`` angstrom,
        in the cell's own axes and origin: (setting, number, independent sites), or None. With
        ``apply=True`` the structure takes the group and those sites."""
    sites: list[Site]
    """With a space group the sites of the asymmetric unit, from which the cell is generated;
    without one the sites as entered (before the centring). Read: views into the structure;
    set: a list of sites (at most 2000 atoms in the cell). Two sites on one position (up to
    whole cell translations and the centring) raise ValueError, also when a site is moved."""
    radiation: Literal["x", "n"]
    """"x" X-rays (two wavelengths), "n" neutrons (the first wavelength only)."""
    wavelengths: tuple[float, float]
    """(lambda1, lambda2), the K-alpha1 and K-alpha2 lines; lambda2 0 for none. A warning says
    when the sites' f' and f'' were taken for another wavelength."""
    ka2_ratio: float
    """Intensity of the second line relative to the first."""
    source: str
    """Name of the radiation source."""
    instrument: str
    """Name of the instrument parameter set."""
    range: tuple[float, float]
    """The 2-theta range (min, max), within 0-180 degrees: clamped there with a warning; a
    minimum not below the maximum raises ValueError."""
    widths: tuple[float, float, float, float, float]
    """Peak-width coefficients (U, V, W, X, Y)."""
    grain_size: float
    """Grain size (angstrom)."""
    b_factor: float
    """Overall temperature factor B (square angstrom), used when temperature_factor is on."""
    temperature_factor: bool
    """Whether the Debye-Waller factor with b_factor applies."""
    solvent: Optional[Tuple[float, float]]
    """Babinet's bulk-solvent correction F (1 - k exp(-B s^2)) as (k, B in A^2), or None (off, the default)."""
    absorption: float
    """Linear absorption coefficient."""
    radius: float
    """Diffractometer radius (mm)."""
    detector_slit: float
    """Detector slit."""
    beam_area: float
    """Beam area."""
    scan_speed: float
    """Scanning speed."""

    def save(self, path: _Path) -> None:
        """Writes the structure file (XML). Raises WriteError when it cannot be written."""

    def lines(self, ka2: bool = False) -> list[Line]:
        """The pattern's lines, as pymatgen's XRDCalculator lists peaks: two_theta, d, intensity in
        percent of the strongest line, hkls [((h, k, l), multiplicity), ...] of the forms on the
        line, and line (1 Ka1, 2 Ka2; Ka2 lines only with ``ka2=True``). Extinct rows left out."""
    def reflections(self, ka2: bool = False, extinct: bool = False) -> dict[str, np.ndarray]:
        """Calculates the reflections and returns the rows of the reflection list, in its order.

        ka2: also the reflections of the second wavelength (``pelmora-cli calc --ka2``);
        extinct: also those with F^2 = 0 (``--extinct``).
        Keys (float64 unless said): two_theta, d, h, k, l (int32), multiplicity (int32),
        f_re, f_im (real and imaginary part of F), f2 (|F|^2), intensity, percent (of the
        strongest reflection), line (int32: 1 first wavelength, 2 second).
        Raises RefusedError for values that cannot be calculated, KeyboardInterrupt on Ctrl+C.
        The interpreter's lock is released while it runs.
        """

    def pattern(
        self, profile: str | None = "pseudo Voigt", step: float | None = None, scale: float | None = None
    ) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
        """Calculates and synthesises the pattern: (two_theta, intensity) over the 2-theta range.

        The numbers of ``pelmora-cli calc --pattern - --profile PROFILE``: the points of the
        0.005 degree grid, the intensity scaled to 10000 at the highest point unless ``scale``
        gives the factor. profile: one of ``profiles()``, None for the settings' PeakProfile.
        step: a whole multiple of 0.005 to take every n-th point of the same grid.
        Raises RefusedError, ValueError for an unknown profile or step, KeyboardInterrupt on Ctrl+C.
        """

    def export(
        self,
        reflections: _Path | None = None,
        pattern: _Path | None = None,
        *,
        profile: str | None = None,
        ka2: bool = False,
        extinct: bool = False,
        scale: float | None = None,
        format: str | None = None,
    ) -> None:
        """Writes what ``pelmora-cli calc`` writes for the structure, byte for byte: the pattern
        file (``--pattern``; format: a plug-in format's label or extension, default text; a name
        without extension gets the format's), then the reflection list (``--reflections``).
        profile None: the settings' PeakProfile, as in pelmora-cli.
        Raises RefusedError, WriteError, ValueError for an unknown profile or format.
        """
