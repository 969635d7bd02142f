"""Ctrl-C stops a long call as the window's Stop does: KeyboardInterrupt, and the session and its
files as they were before the call (or, for fits, as far as they had come)."""
import os
import random
import signal
import threading

import pytest

import varnel


def write_traces(folder, molecules=300, frames=4000):
    """Molecules of three FRET levels, steps now and then, enough work for several seconds."""
    chance = random.Random(5)
    for m in range(molecules):
        level, values = 0, []
        for _ in range(frames):
            if chance.random() < 0.02:
                level = chance.randrange(3)
            values.append(0.2 + 0.3 * level + chance.gauss(0.0, 0.05))
        (folder / f"m{m:03d}.txt").write_text("fret\n" + "\n".join(f"{v:.4f}" for v in values) + "\n")


def interrupt_after(seconds):
    """SIGINT to this process, as Ctrl-C sends it, once `seconds` have passed."""
    timer = threading.Timer(seconds, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    return timer


def test_an_interrupted_idealisation_writes_nothing_and_keeps_the_session(tmp_path, reports):
    write_traces(tmp_path)
    s = varnel.Session(peaks=10)
    s.load(str(reports / "*.dat"))
    loaded = list(s.files)
    timer = interrupt_after(0.5)
    with pytest.raises(KeyboardInterrupt):
        s.idealise_traces(str(tmp_path / "m*.txt"), fret="fret", states="1-6")
    timer.join()
    # Stopped while it fitted: no table, no reports, the reports loaded before still loaded.
    assert not (tmp_path / "idealised.csv").exists()
    assert not (tmp_path / "varnel-reports").exists()
    assert s.files == loaded and s.peaks == 10
    assert not [p for p in tmp_path.iterdir() if p.name.startswith(".")]


def test_an_interrupted_run_of_fits_keeps_the_fits_it_made_without_the_interval_it_stopped(reports):
    s = varnel.Session(exposure=0.1, peaks=10)
    s.load(str(reports / "*.dat"))
    s.states(3)
    s.lock()
    timer = interrupt_after(0.3)
    with pytest.raises(KeyboardInterrupt):
        for _ in range(200):  # the bootstrap of the intervals is what takes the time
            s.fit_all()
    timer.join()
    fitted = [tuple(map(int, row["class"].split("->"))) for row in s.results() if row["estimator"] == "gaussian"]
    assert fitted, "the fits made before the stop stand"
    assert {s.uncertainty(i, j)["state"] for i, j in fitted} <= {"computed", "stopped"}
