"""python -m varnel --version: the version of the analysis this module runs."""
import argparse
import sys

import varnel


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python -m varnel",
        description="The Python module of Varnel: import varnel in a script (help(varnel.Session)).")
    parser.add_argument("--version", action="version", version="varnel " + varnel.__version__)
    parser.parse_args(argv)
    parser.print_help()
    return 0


if __name__ == "__main__":
    sys.exit(main())
