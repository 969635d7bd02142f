"""Kinetic analysis of transitions between discrete states of single-molecule signals.

The analysis itself is the compiled module varnel._varnel; this package names its classes and
functions as varnel's own. See help(varnel.Session).
"""
try:
    import numpy as _numpy  # noqa: F401  (the session's arrays are numpy's)
except ImportError as _missing:
    raise ImportError(
        "varnel needs numpy, which this interpreter cannot import (" + str(_missing) + "): "
        "install numpy for it (pip install numpy; for Debian's python3, apt install python3-numpy, "
        "which a venv made with --system-site-packages sees)") from _missing

from . import _varnel
from ._varnel import (HISTOGRAM_BINS, MAP_CELLS, MAX_STATES, Error, Notice, ProblemWarning,  # noqa: F401
                      Session, __version__)

__doc__ = _varnel.__doc__
__all__ = ["Session", "Error", "Notice", "ProblemWarning", "MAP_CELLS", "HISTOGRAM_BINS", "MAX_STATES"]

# Tracebacks and help() name them where a script finds them.
for _name in ("Session", "Error"):
    getattr(_varnel, _name).__module__ = __name__
del _name
