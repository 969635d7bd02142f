"""A session in Python and the same analysis as a script write the same files."""
import os
import subprocess

import pytest

import varnel
from conftest import copy_reports, program

SCRIPT = """peaks 10
exposure 0.2
load reports/*.dat
states 3
cutoffs 0.4 0.7
lock
circle 1 3 160 40 25
fit 1 3
fit 3 1
log
export figures --format svg --colour-scale log
"""


def test_a_circle_cutoffs_and_an_export_give_script_mode_s_files(tmp_path):
    script_dir, python_dir = tmp_path / "script", tmp_path / "python"
    script_reports, python_reports = copy_reports(script_dir), copy_reports(python_dir)
    (script_dir / "analysis.vsc").write_text(SCRIPT)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("LD_PRELOAD", None)
    done = subprocess.run([program("VARNEL_PROGRAM"), "--script", "analysis.vsc"], cwd=script_dir, env=env,
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr

    s = varnel.Session(exposure=0.2, peaks=10)
    s.load(str(python_reports / "*.dat"))
    s.states(3)
    assert s.cutoffs([0.4, 0.7]) == [0.4, 0.7]
    s.lock()
    s.circle(1, 3, 160, 40, 25)
    s.fit(1, 3)
    s.fit(3, 1)
    s.write_log()
    with pytest.warns(varnel.Notice, match="Exported 8 figures and tables into"):
        s.export("figures", format="svg", colour_scale="log")
    assert s.results()[0]["source"] == "circle"

    for name in ("3dgrid.dat", "1,3rates.dat", "3,1rates.dat", "log.dat", "rates.csv"):
        assert (python_reports / name).read_bytes() == (script_reports / name).read_bytes(), name
    figures = sorted(p.name for p in (script_reports / "figures").iterdir())
    assert sorted(p.name for p in (python_reports / "figures").iterdir()) == figures
    for name in ("density.csv", "histograms.csv", "rates.csv"):
        assert (python_reports / "figures" / name).read_bytes() == (script_reports / "figures" / name).read_bytes()
