"""What the session refuses raises varnel.Error with the program's own message; what it tells of
work it did comes as a warning."""
import pytest

import varnel
from conftest import script_messages


def refusal(call):
    with pytest.raises(varnel.Error) as raised:
        call()
    return str(raised.value)


class TestRefusals:
    def test_say_what_script_mode_says_for_the_same_commands(self, tmp_path):
        # Each script line and the Python call that asks the same; script mode carries on after
        # each refusal and prints one message a line.
        script = ["exposure 0", "peaks 1001", "fit 1 1", "states 3", "cutoffs 0.5", "lock", "fit 4 1",
                  "fit 1 1", "export figures"]
        s = varnel.Session()
        calls = [
            lambda: setattr(s, "exposure", 0),
            lambda: varnel.Session(peaks=1001),
            lambda: s.fit(1, 1),
            lambda: (s.states(3), s.cutoffs([0.5])),
            lambda: (s.lock(), s.fit(4, 1)),
            lambda: s.fit(1, 1),
            lambda: s.export("figures"),
        ]
        raised = [refusal(call) for call in calls]
        assert raised == script_messages(tmp_path, script)

    def test_of_a_load_name_the_files_and_keep_the_records(self, demo, tmp_path):
        s = varnel.Session()
        s.load(str(demo[1] / "molecule_0001.dat"))
        folder = s.output_folder
        junk = tmp_path / "junk.txt"
        junk.write_text("no report\n")
        message = refusal(lambda: s.load([str(junk)]))
        assert message.startswith("None of the chosen files could be read as a report")
        assert message.endswith("\njunk.txt")
        assert s.output_folder == folder and len(s.files) == 1

    def test_of_an_import_or_export_option_say_which_option(self, tmp_path):
        s = varnel.Session()
        assert refusal(lambda: s.import_traces(str(tmp_path / "t.txt"), length=3)) == (
            "Cannot import the traces: --length goes with --dwells. Nothing was written; "
            "the records loaded before are kept.")
        assert "--format" in refusal(lambda: s.export(str(tmp_path), format="gif"))

    def test_of_values_that_would_make_every_rate_0_or_a_cutoff_of_nothing(self, tmp_path):
        s = varnel.Session()
        for exposure in (float("inf"), 1e308, float("nan")):
            assert refusal(lambda: setattr(s, "exposure", exposure)) == (
                "Exposure time (s): enter a number from 1e-9 to 3600, for example 0.05.")
        assert s.exposure == 0.1
        s.states(3)
        assert "Cutoff 1 is not a number" in refusal(lambda: s.cutoffs([float("nan"), 0.6]))
        assert s.cutoffs() == pytest.approx([1 / 3, 2 / 3])
        for last in (-5, 0):
            assert "--last-frame must be at least 1" in refusal(
                lambda: s.idealise_traces(str(tmp_path / "t.txt"), last_frame=last))

    def test_of_a_name_that_is_no_utf8_name_the_file_itself(self, tmp_path):
        # Bytes are the system's name of a file: they reach it as they are, not as "b'...'".
        path = bytes(tmp_path) + b"/r\xff.dat"
        with open(path, "wb") as report:
            report.write(b"h\nh\nh\nh\n0.2 0.8 0.05 0 3\n")
        s = varnel.Session(peaks=1)
        s.load(path)
        assert len(s.files) == 1 and s.files[0].encode("utf-8", "surrogateescape") == path


class TestWarnings:
    def test_tell_of_own_files_left_out_of_a_load(self, demo):
        session, reports = demo
        s = varnel.Session()
        with pytest.warns(varnel.Notice, match="Left out 1 file that Varnel writes itself"):
            s.load([str(reports / "molecule_0001.dat"), str(reports / "log.dat")])
        assert len(s.files) == 1

    def test_of_fit_all_pass_over_a_class_without_rates(self):
        s = varnel.Session()
        s.states(2)
        s.lock()
        with pytest.warns(varnel.Notice, match=r"Class 1->1 has no rates to fit\."):
            assert s.fit_all() == []
        assert refusal(varnel.Session().fit_all) == "Lock cutoffs first."
