"""What the module's tests share: the command-line tool they compare with, and
one settings file both read (never the user's own)."""

import os
import pathlib
import subprocess

import pytest

import pelmora

SOURCE_DIR = pathlib.Path(os.environ.get("PELMORA_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
EXAMPLES = sorted((SOURCE_DIR / "examples").glob("*.xml"))
CIFS = sorted((SOURCE_DIR / "tests" / "data" / "cif").glob("*.cif"))


@pytest.fixture(scope="session")
def settings_file(tmp_path_factory):
    # An empty file: first-run settings for the module and the tool alike.
    path = tmp_path_factory.mktemp("settings") / "Pelmora.ini"
    path.write_text("")
    pelmora.configure(settings=path)
    return path


@pytest.fixture(scope="session")
def cli(settings_file):
    """Runs pelmora-cli with the test settings; returns the completed process (bytes)."""
    exe = os.environ.get("PELMORA_CLI")
    if not exe:
        pytest.skip("PELMORA_CLI is not set (run the tests through ctest)")

    def run(*args, check=True):
        done = subprocess.run([exe, *map(str, args), "--settings", str(settings_file)], capture_output=True)
        if check and done.returncode != 0:
            raise AssertionError(f"pelmora-cli {args}: status {done.returncode}: {done.stderr.decode()}")
        return done

    return run
