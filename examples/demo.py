"""The demo analysis from Python, step by step, as examples/demo.vsc runs it in script mode.

Run it from a folder holding a copy of the example reports in reports/:

    mkdir -p demo-py/reports && cp examples/reports/*.dat demo-py/reports/
    cd demo-py && PYTHONPATH=../build/python python3 ../examples/demo.py

It writes the files script mode writes ("3dgrid.dat", "I,Jrates.dat", "log.dat" and
"results.csv" in reports/) and, where matplotlib is installed, draws the density map and the
histogram of class 1->2 with its fit into map-and-class.png.
"""
# %% The reports: 60 molecules of 10 x 10 records each, every frame 0.1 s.
import math
import sys

import varnel

session = varnel.Session(exposure=0.1, peaks=10)
session.load("reports/*.dat")
print(f"{len(session.files)} reports loaded; their files go to {session.output_folder}")

# %% Three states, the cutoffs evenly spaced at 1/3 and 2/3; every transition sorted into its class.
session.states(3)
session.lock()
print("cutoffs:", session.cutoffs())

# %% Every class fitted, 1->1, 1->2, ..., 3->3, each with its bootstrap interval; then the log.
session.fit_all()
session.write_log()

print(f"{'class':7} {'rate (s^-1)':>12} {'95 % interval':>23} {'pooled':>10}")
for row in session.results():
    interval = f"{row['rate_low']} ... {row['rate_high']}" if row["rate_low"] is not None else "-"
    print(f"{row['class']:7} {row['rate']:>12} {interval:>23} {row['pooled_rate']:>10}")

# %% The map and one class's histogram, from the session's arrays.
grid = session.density()
counts, centres = session.histogram(1, 2)
fit = session.fitted(1, 2)
print(f"map {grid.shape[0]} x {grid.shape[1]}, largest cell {session.density_maximum:.4g}; "
      f"class 1->2: {int(counts.sum())} transitions, rate {fit['rate']:.4g} s^-1")

try:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
except ImportError:
    print("matplotlib is not installed: no pictures drawn.")
    sys.exit(0)

figure, (map_axes, histogram_axes) = plt.subplots(1, 2, figsize=(10, 4.5))
# Rows are the initial value, columns the final value, both from 0 to 1 in cells of 0.005.
map_axes.imshow(grid, origin="lower", extent=(0, 1, 0, 1), cmap="viridis")
for cutoff in session.cutoffs():
    map_axes.axhline(cutoff, color="white", linewidth=0.8)
    map_axes.axvline(cutoff, color="white", linewidth=0.8)
map_axes.set_xlabel("final value")
map_axes.set_ylabel("initial value")
map_axes.set_title("transition density")

histogram_axes.bar(centres, counts, width=0.2, color="0.7", edgecolor="0.4")
# The fitted Gaussian over the bins: area A, standard deviation w / 2 on the ln(rate per frame) axis.
axis = [-10 + k * 0.025 for k in range(401)]
curve = [fit["amplitude"] / (math.sqrt(math.pi / 2) * fit["width"])
         * math.exp(-2 * ((x - fit["centre"]) / fit["width"]) ** 2) for x in axis]
histogram_axes.plot(axis, curve, color="black")
histogram_axes.set_xlabel("ln(rate per frame)")
histogram_axes.set_ylabel("transitions")
histogram_axes.set_title(f"class 1->2: {fit['rate']:.3g} s^-1")
figure.tight_layout()
figure.savefig("map-and-class.png", dpi=120)
print("drew map-and-class.png")
