"""The written diffractogram with d or Q as its abscissa: each point is the
2-theta export's point, its abscissa by d = lambda / (2 sin theta) and
Q = 4 pi sin theta / lambda for the structure's first wavelength."""

import math
import xml.etree.ElementTree as ET

from conftest import SOURCE_DIR


def test_d_and_q_follow_the_two_theta_export(cli):
    path = SOURCE_DIR / "examples" / "NaCl.xml"
    lam = float(ET.parse(path).getroot().find(".//lambda1").text)
    base = cli("calc", path, "--pattern", "-", "--profile", "pseudo Voigt").stdout
    # Naming the default changes nothing.
    assert cli("calc", path, "--pattern", "-", "--profile", "pseudo Voigt", "--x-axis", "2theta").stdout == base
    rows = [(float(a), b) for a, b in (line.split() for line in base.decode().split("\r\n")[2:-1])]
    for axis, f in [("d", lambda s: lam / (2 * s)), ("Q", lambda s: 4 * math.pi * s / lam)]:
        out = cli("calc", path, "--pattern", "-", "--profile", "pseudo Voigt", "--x-axis", axis).stdout.decode()
        lines = out.split("\r\n")
        assert lines[1].split()[0] == axis
        got = [line.split() for line in lines[2:-1]]
        # The range starts above 0 degrees, so every point has a d.
        assert len(got) == len(rows)
        for (tt, y), (x, y2) in zip(rows, got):
            assert y2 == y
            assert abs(float(x) - f(math.sin(math.radians(tt / 2)))) < 6e-6, (axis, tt)
    refused = cli("calc", path, "--pattern", "-", "--x-axis", "theta", check=False)
    assert refused.returncode != 0 and b"--x-axis" in refused.stderr
