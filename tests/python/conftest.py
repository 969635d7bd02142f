"""Shared fixtures of the Python module's tests.

ctest runs them with PYTHONPATH at the module's build folder, VARNEL_SOURCE_DIR at the source
tree and VARNEL_PROGRAM / VARNEL_IMPORTER at the programs of the same build; the tests that
compare with script mode or the import tool are skipped without those.
"""
import os
import pathlib
import shutil
import subprocess

import pytest

import varnel

SOURCE_DIR = pathlib.Path(os.environ.get("VARNEL_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
EXAMPLE_REPORTS = sorted((SOURCE_DIR / "examples" / "reports").glob("*.dat"))
GOLDEN_SUMS = SOURCE_DIR / "tests" / "data" / "demo-reports.sha256"


def copy_reports(folder):
    """The example reports copied into `folder`/reports; returns that folder."""
    reports = pathlib.Path(folder) / "reports"
    reports.mkdir(parents=True)
    for report in EXAMPLE_REPORTS:
        shutil.copy(report, reports)
    return reports


@pytest.fixture(scope="session")
def demo(tmp_path_factory):
    """The demo analysis (examples/demo.vsc) run from Python on a copy of the example reports:
    three evenly spaced states, every class fitted in row-major order, the log written.
    Returns the session and the folder of the reports, where its files are."""
    reports = copy_reports(tmp_path_factory.mktemp("demo"))
    session = varnel.Session(exposure=0.1, peaks=10)
    session.load(str(reports / "*.dat"))
    session.states(3)
    session.lock()
    session.fit_all()
    session.write_log()
    return session, reports


@pytest.fixture
def reports(tmp_path):
    """A fresh copy of the example reports."""
    return copy_reports(tmp_path)


def program(variable):
    path = os.environ.get(variable)
    if not path or not os.access(path, os.X_OK):
        pytest.skip(f"{variable} names no program of this build")
    return path


def script_messages(tmp_path, lines):
    """What script mode prints on standard error for a script of `lines`, run in `tmp_path`,
    without the program's "varnel: " before each message."""
    script = tmp_path / "refusals.vsc"
    script.write_text("\n".join(lines) + "\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("LD_PRELOAD", None)
    done = subprocess.run([program("VARNEL_PROGRAM"), "--script", str(script)], cwd=tmp_path, env=env,
                          capture_output=True, text=True, timeout=120)
    return [line[len("varnel: "):] for line in done.stderr.splitlines() if line.startswith("varnel: ")]
