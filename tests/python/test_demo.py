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

    def test_include_results_csv_whose_rates_are_those_of_the_log(self, demo):
        _, reports = demo
        log = {}
        for line in (reports / "log.dat").read_text().splitlines()[3:]:
            name, rate, width, transitions = line.split()
            log[name] = (float(rate), float(width), int(transitions))
        rows = [line.split(",") for line in (reports / "results.csv").read_text().splitlines()
                if line and not line.startswith("#")]
        header, rows = rows[0], rows[1:]
        assert [row[0] for row in rows] == list(log)
        for row in rows:
            cells = dict(zip(header, row))
            assert (float(cells["rate"]), float(cells["width"]), int(cells["transitions"])) == log[cells["class"]]


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

    def test_has_its_maximum_at_the_largest_cell(self, demo):
        session, _ = demo
        grid = session.density()
        assert session.density_maximum > 0
        assert math.isclose(grid.max(), session.density_maximum, rel_tol=1e-9)

    def test_counts_every_record_once_when_not_weighted(self, reports):
        session = varnel.Session(weighted=False)
        session.load(str(reports / "*.dat"))
        unweighted = session.density()
        session.weighted = True
        assert not np.array_equal(unweighted, session.density())
        assert np.array_equal(grid_file_cells(reports / "3dgrid.dat"),
                              np.vectorize(lambda v: float(f"{v:.4g}") if v > 0.01 else 0.0)(session.density()))


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

    def test_is_the_one_its_fit_was_made_on(self, demo):
        session, _ = demo
        counts, centres = session.histogram(2, 1)
        fit = session.fitted(2, 1)
        assert np.array_equal(fit["counts"], counts) and np.array_equal(fit["centres"], centres)
        assert fit["transitions"] == len(session.class_rates(2, 1))

    def test_lists_its_rates_as_the_rate_file_does(self, demo):
        session, reports = demo
        listed = [float(f"{v:.6g}") for v in session.class_rates(1, 3) if -10 < math.log(v) < 0]
        assert listed == [float(v) for v in (reports / "1,3rates.dat").read_text().split()]


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
        assert isinstance(frame, pandas.DataFrame) and len(frame) == 9
