"""The package as an interpreter meets it: its version is the program's, `python -m varnel`
prints it, and without numpy the import stops at once with what to install."""
import re
import subprocess
import sys

import varnel
from conftest import SOURCE_DIR


def run_python(*arguments):
    return subprocess.run([sys.executable, *arguments], capture_output=True, text=True, timeout=60)


class TestThePackage:
    def test_python_m_varnel_prints_the_projects_version(self):
        version = re.search(r"project\(Varnel VERSION ([0-9.]+)", (SOURCE_DIR / "CMakeLists.txt").read_text())[1]
        assert varnel.__version__ == version
        done = run_python("-m", "varnel", "--version")
        assert done.returncode == 0, done.stderr
        assert done.stdout == "varnel " + version + "\n"
        assert varnel.Session.__module__ == "varnel" and issubclass(varnel.Error, RuntimeError)

    def test_an_interpreter_without_numpy_is_told_so_at_import(self):
        # numpy set to None in sys.modules cannot be imported, as where it is not installed.
        done = run_python("-c", "import sys; sys.modules['numpy'] = None; import varnel")
        assert done.returncode != 0
        assert "ImportError: varnel needs numpy" in done.stderr
        assert "python3-numpy" in done.stderr
