"""An import from Python writes the reports the import tool writes, and loads them."""
import math
import random
import subprocess

import pytest

import varnel
from conftest import program

# Four molecules of a dwells table: molecule, level, frames.
DWELLS = """molecule level frames
1 0.2 12
1 0.8 5
1 0.2 9
1 0.5 7
2 0.5 20
2 0.2 4
2 0.8 11
3 0.8 6
3 0.2 6
3 0.8 6
4 0.2 30
"""


@pytest.fixture
def dwells(tmp_path):
    path = tmp_path / "dwells.txt"
    path.write_text(DWELLS)
    return path


class TestAnImport:
    def test_writes_and_loads_the_reports_of_the_import_tool(self, tmp_path, dwells):
        s = varnel.Session(peaks=10)
        s.import_traces(dwells, dwells=True, peaks=3, out=tmp_path / "python", prefix="m")
        assert s.peaks == 3 and len(s.files) == 4 and s.density().max() > 0
        subprocess.run([program("VARNEL_IMPORTER"), "--dwells", "--peaks", "3", "--out", str(tmp_path / "tool"),
                        "--prefix", "m", str(dwells)], check=True, capture_output=True, timeout=60)
        made = sorted(p.name for p in (tmp_path / "python").iterdir() if p.name.startswith("m_"))
        assert made == sorted(p.name for p in (tmp_path / "tool").iterdir() if p.name != "dwells.csv")
        assert len(made) == 4
        for name in made + ["dwells.csv"]:
            assert (tmp_path / "python" / name).read_bytes() == (tmp_path / "tool" / name).read_bytes()


class TestTheDwellTimes:
    def test_give_the_script_modes_table_and_their_rates_join_the_results(self, tmp_path):
        # Twelve molecules of twenty dwells each between two levels, the same on every run.
        chance = random.Random(5)
        rows = ["molecule level frames"]
        for m in range(12):
            rows += [f"{m} {0.2 if d % 2 == 0 else 0.8} {chance.randint(1, 30)}" for d in range(20)]
        dwells = tmp_path / "many.txt"
        dwells.write_text("\n".join(rows) + "\n")
        s = varnel.Session(peaks=3)
        s.import_traces(dwells, dwells=True, out=tmp_path / "reports")
        with pytest.raises(varnel.Error, match="Lock cutoffs first."):
            s.dwell_times()
        s.states(2)
        s.lock()
        table = s.dwell_times(exponentials=1)
        assert [row["state"] for row in table] == ["1", "2"]
        script = tmp_path / "dwell.vsc"
        script.write_text("peaks 3\nload reports/*.dat\nstates 2\nlock\ndwell all --exponentials 1\n")
        run = subprocess.run([program("VARNEL_PROGRAM"), "--script", str(script)], cwd=tmp_path,
                             capture_output=True, text=True, timeout=120)
        assert run.returncode == 0, run.stderr
        lines = run.stdout.splitlines()
        assert len(lines) == len(table) + 1
        for row, line in zip(table, lines[1:]):
            cells = line.split("\t")
            assert row["state"] == cells[0] and row["dwells"] == int(cells[10])
            assert row["rate"] == (float(cells[4]) if cells[4] else None)
        assert {row["state"] for row in table if row["chosen"] == "yes"} == {"1", "2"}
        dwell_rows = [row for row in s.results() if row["estimator"] == "dwell"]
        assert [row["class"] for row in dwell_rows] == ["1->2", "2->1"]


class TestTheRateMatrix:
    def test_is_the_logarithm_of_the_counted_steps_and_heads_the_results(self, tmp_path):
        # Twelve molecules of alternating dwells between two levels. A dwell of l frames stays
        # l - 1 times and then steps into the next dwell's state; the last dwell steps nowhere.
        chance = random.Random(11)
        rows, stays, steps = ["molecule level frames"], [0, 0], [0, 0]
        for m in range(12):
            lengths = [chance.randint(1, 12) for _ in range(15)]
            for d, frames in enumerate(lengths):
                rows.append(f"{m} {0.2 if d % 2 == 0 else 0.8} {frames}")
                stays[d % 2] += frames - 1
                steps[d % 2] += d + 1 < len(lengths)
        dwells = tmp_path / "alternating.txt"
        dwells.write_text("\n".join(rows) + "\n")
        s = varnel.Session(exposure=0.1, peaks=3)
        s.import_traces(dwells, dwells=True, out=tmp_path / "reports")
        s.states(2)
        s.lock()
        with pytest.raises(varnel.Error):
            s.rate_matrix(paths="1-1")
        m = s.rate_matrix()

        # Two states: P = expm(Q T) has the closed-form logarithm
        # k_12 = -ln(1 - p_12 - p_21) p_12 / ((p_12 + p_21) T), and k_21 alike.
        p12 = steps[0] / (steps[0] + stays[0])
        p21 = steps[1] / (steps[1] + stays[1])
        total = -math.log(1 - p12 - p21) / (p12 + p21) / 0.1
        assert m["rates"][0, 1] == pytest.approx(p12 * total, rel=1e-6)
        assert m["rates"][1, 0] == pytest.approx(p21 * total, rel=1e-6)
        assert math.isnan(m["rates"][0, 0]) and m["counts"][0, 1] == steps[0]
        assert m["low"][0, 1] < m["rates"][0, 1] < m["high"][0, 1]
        assert m["molecules"] == 12 and m["flags"]["1->2"] == []
        first = s.results()[:2]
        assert [(row["estimator"], row["class"]) for row in first] == [("rate-matrix", "1->2"), ("rate-matrix", "2->1")]
        assert first[0]["rate"] == pytest.approx(p12 * total, rel=1e-5)
