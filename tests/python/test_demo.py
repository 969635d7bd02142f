"""The demo analysis run from Python writes what script mode writes, and the module's arrays and
tables hold the numbers of those files."""
import hashlib
import math

import numpy as np
import pytest

import varnel
from conftest import GOLDEN_SUMS

CLASSES = [(i, j) for i in (1, 2, 3) for j in (1, 2, 3)]


def golden_sums():
    sums = {}
    for line in GOLDEN_SUMS.read_text().splitlines():
        digest, name = line.split(maxsplit=1)
        sums[name.strip()] = digest
    return sums


class TestTheDemoFiles:
    def test_are_byte_identical_to_the_golden_files_of_script_mode(self, demo):
        _, reports = demo
        sums = golden_sums()
        assert len(sums) == 11
        for name, digest in sums.items():
            assert hashlib.sha256((reports / name).read_bytes()).hexdigest() == digest, name


def grid_file_cells(path):
    """The 201 x 201 cells at the end of "3dgrid.dat", each right-aligned in 15 characters."""
    lines = path.read_text().splitlines()[-varnel.MAP_CELLS:]
    return np.array([[float(line[k:k + 15]) for k in range(0, 15 * varnel.MAP_CELLS, 15)] for line in lines])


class TestTheDensityMap:
    def test_is_a_201_by_201_array_that_prints_as_3dgrid_dat(self, demo):
        session, reports = demo
        grid = session.density()
        assert grid.shape == (201, 201) and grid.dtype == np.float64
        # The file prints a cell above 0.01 with 4 significant digits, and any other as 0.
        printed = np.vectorize(lambda v: float(f"{v:.4g}") if v > 0.01 else 0.0)(grid)
        assert np.array_equal(printed, grid_file_cells(reports / "3dgrid.dat"))

    def test_follows_the_weighting_and_is_written_again(self, reports):
        session = varnel.Session(weighted=False)
        session.load(str(reports / "*.dat"))
        unweighted = session.density()
        session.weighted = True
        assert not np.array_equal(unweighted, session.density())
        digest = hashlib.sha256((reports / "3dgrid.dat").read_bytes()).hexdigest()
        assert digest == golden_sums()["3dgrid.dat"]


class TestAClassHistogram:
    @pytest.mark.parametrize("i,j", [(1, 2), (2, 3), (3, 1)])
    def test_counts_the_rates_of_its_rate_file_in_bins_of_ln_rate(self, demo, i, j):
        session, reports = demo
        counts, centres = session.histogram(i, j)
        assert counts.shape == centres.shape == (varnel.HISTOGRAM_BINS,)
        assert np.allclose(centres, -9.9 + 0.2 * np.arange(50))
        rates = [float(v) for v in (reports / f"{i},{j}rates.dat").read_text().split()]
        expected = np.zeros(50)
        for rate in rates:
            expected[int((math.log(rate) + 10) / 0.2)] += 1
        assert counts.sum() == len(rates) > 0
        assert np.array_equal(counts, expected)


class TestTheResults:
    def test_are_the_rows_of_results_csv(self, demo):
        session, reports = demo
        lines = [line for line in (reports / "results.csv").read_text().splitlines()
                 if line and not line.startswith("#")]
        header = lines[0].split(",")
        rows = session.results()
        assert [row["class"] for row in rows] == [f"{i}->{j}" for i, j in CLASSES]
        for row, line in zip(rows, lines[1:]):
            assert list(row) == header
            for column, cell in zip(header, line.split(",", len(header) - 1)):
                value = row[column]
                if value is None:
                    assert cell == ""
                elif isinstance(value, str):
                    assert value == cell
                else:
                    assert value == float(cell), column

    def test_give_each_uncertainty_as_results_csv_shows_it(self, demo):
        session, _ = demo
        for row in session.results():
            i, j = map(int, row["class"].split("->"))
            u = session.uncertainty(i, j)
            assert u["state"] == "computed" and u["kind"] == "percentile"
            assert u["molecules"] == row["molecules"]
            assert u["replicates"] - u["failed"] == row["replicates_used"]
            low, high = u["rate_interval"]
            assert (float(f"{low:.6g}"), float(f"{high:.6g}")) == (row["rate_low"], row["rate_high"])
            assert u["percentile"]["rate"] == u["rate_interval"]
            assert u["bca"]["rate"] is not None
            assert float(f"{u['pooled_rate']:.6g}") == row["pooled_rate"]

    def test_give_a_data_frame_when_pandas_is_there(self, demo):
        pandas = pytest.importorskip("pandas")
        frame = demo[0].results(frame=True)
        assert list(frame["class"]) == [f"{i}->{j}" for i, j in CLASSES]
