"""Raw traces idealised from Python: the fits and the chosen model come back, the reports of
the idealised traces are loaded, and what cannot be idealised raises the program's message."""
import random

import pytest

import varnel


def write_molecules(folder):
    """Three molecules of two FRET levels 0.5 apart, 0.03 of noise, in blocks of known length."""
    chance = random.Random(11)
    paths = []
    for m, blocks in enumerate([[40, 25, 60], [35, 50, 20, 30], [70, 45]]):
        values = [(0.25 if b % 2 == 0 else 0.75) + chance.gauss(0.0, 0.03)
                  for b, length in enumerate(blocks) for _ in range(length)]
        path = folder / f"m{m + 1}.txt"
        path.write_text("fret\n" + "\n".join(f"{v:.6f}" for v in values) + "\n")
        paths.append(path)
    return paths


class TestAnIdealisation:
    def test_returns_every_fit_and_loads_the_reports_of_the_chosen_paths(self, tmp_path):
        write_molecules(tmp_path)
        s = varnel.Session(peaks=1)
        with pytest.warns(varnel.Notice, match="BIC chooses 2 states"):
            result = s.idealise_traces(str(tmp_path / "m*.txt"), fret="fret", states="1-3")
        assert [fit["states"] for fit in result["fits"]] == [1, 2, 3]
        assert [fit["chosen"] for fit in result["fits"]] == [False, True, False]
        assert result["means"] == pytest.approx([0.25, 0.75], abs=0.01)
        assert result["table"] == str(tmp_path / "idealised.csv")
        assert result["brightness"] == 0  # a FRET column: every frame of a state one width
        # K became the two states; each molecule's 2 x 2 report counts its steps off the diagonal.
        assert s.peaks == 2 and len(s.files) == 3
        assert (tmp_path / "idealised.csv").read_text().startswith("molecule,frame,fret,idealised\n")

    def test_gives_each_molecules_path_and_the_dwells_of_its_reports(self, tmp_path):
        write_molecules(tmp_path)
        s = varnel.Session(peaks=2)
        assert s.idealised() is None and s.dwells() == []
        with pytest.warns(varnel.Notice):
            means = s.idealise_traces(str(tmp_path / "m*.txt"), fret="fret", states="2")["means"]
        # Levels 0.5 apart under 0.03 of noise: the path is the blocks the traces were made of.
        paths = s.idealised()
        assert [p["molecule"] for p in paths] == ["m1", "m2", "m3"]
        first = paths[0]
        assert list(first["frame"]) == list(range(1, 126))
        assert list(first["state"]) == [0] * 40 + [1] * 25 + [0] * 60
        assert list(first["value"]) == [means[state] for state in first["state"]]
        assert first["fret"].dtype == float and len(first["fret"]) == 125
        assert list(paths[2]["state"]) == [0] * 70 + [1] * 45
        # The dwells of the reports the import made of those paths: each block one dwell, the
        # first cut by the trace's start and the last by its end.
        dwells = s.dwells()
        assert len(dwells) == 3
        second = dwells[1]
        assert list(second["start"]) == [1, 36, 86, 106]
        assert list(second["frames"]) == [35, 50, 20, 30]
        assert list(second["cut_at_start"]) == [True, False, False, False]
        assert list(second["cut_at_end"]) == [False, False, False, True]
        assert second["level"] == pytest.approx([0.25, 0.75, 0.25, 0.75], abs=0.01)

    def test_refuses_a_flat_trace_and_options_that_do_not_go_together(self, tmp_path):
        (tmp_path / "flat.txt").write_text("0.5\n0.5\n0.5\n")
        s = varnel.Session()
        with pytest.raises(varnel.Error, match="every frame holds the one value 0.5"):
            s.idealise_traces(tmp_path / "flat.txt", fret=1)
        with pytest.raises(varnel.Error, match="--fret does not go with --donor and --acceptor"):
            s.idealise_traces(tmp_path / "flat.txt", fret=1, donor=2, acceptor=3)
        assert not (tmp_path / "idealised.csv").exists()

    def test_a_molecule_rejected_leaves_the_reports_and_comes_back_when_kept(self, tmp_path):
        write_molecules(tmp_path)
        s = varnel.Session(peaks=2)
        with pytest.warns(varnel.Notice):
            s.idealise_traces(str(tmp_path / "m*.txt"), fret="fret", states="2")
        assert [(m["molecule"], m["frames"], m["states"], m["kept"]) for m in s.molecules()] == [
            ("m1", 125, 2, True), ("m2", 135, 2, True), ("m3", 115, 2, True)]
        # Levels 0.5 apart under noise of 0.03: about 17 noise widths.
        assert s.molecules()[0]["signal_to_noise"] == pytest.approx(0.5 / 0.03, rel=0.15)
        with pytest.warns(varnel.Notice, match="2 molecules of 3 kept"):
            s.reject_molecules(["m2"])
        assert [m["kept"] for m in s.molecules()] == [True, False, True] and len(s.files) == 2
        with pytest.raises(varnel.Error, match='No molecule of the idealisation is named "m4"'):
            s.reject_molecules(["m4"])
        with pytest.warns(varnel.Notice, match="m3: 115 frames, fewer than 120"):
            s.choose_molecules(min_frames=120)
        assert [m["kept"] for m in s.molecules()] == [True, True, False]
        with pytest.warns(varnel.Notice):
            s.keep_molecules()
        assert len(s.files) == 3
