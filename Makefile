# Front door: `make demo` and `make test` are all a fresh machine needs.
BUILD_DIR      ?= build
TEST_BUILD_DIR ?= build-test
JOBS           ?= $(shell nproc)

.PHONY: all deps build python wheel test demo bench validate screenshot fuzz soak clean cross-test install package package-test

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_BENCH=ON -DVARNEL_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The Python module alone, in $(BUILD_DIR)/python: PYTHONPATH=$(BUILD_DIR)/python python3 -c 'import varnel'
# (`make build` makes it too).
python: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_BENCH=ON -DVARNEL_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS) --target varnel_python

# A wheel of the Python package in $(BUILD_DIR)/wheel, built by setup.py for PYTHON (Debian's
# python3 unless told another), with Debian's setuptools and wheel and no package index.
PYTHON ?= /usr/bin/python3
wheel: deps
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) PIP_NO_INDEX=1 $(PYTHON) -m pip wheel --no-build-isolation --no-deps -w $(BUILD_DIR)/wheel .

# The test build runs under AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_SANITIZE=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS)
	cd $(TEST_BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Installs the programs, the colour table, the desktop entry, icons, metadata and manual pages
# under PREFIX; DESTDIR stages the whole tree elsewhere, as packagers do.
PREFIX ?= /usr/local
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package, in $(BUILD_DIR); package-test installs it into a scratch root and runs it.
package: build
	@scripts/install-deps --package
	cd $(BUILD_DIR) && cpack -G DEB
package-test: package
	@scripts/package-test $(BUILD_DIR)

demo: build
	@scripts/demo $(BUILD_DIR)

bench: build
	$(BUILD_DIR)/bench/varnel_bench

# How often the rates' 95 % intervals of both kinds (percentile, BCa) hold the simulated truth,
# and how far the estimates lie from it: VALIDATE_SETS data sets of each of VALIDATE_MOLECULES
# molecules; about 20 minutes on 2 cores.
VALIDATE_SETS ?= 200
VALIDATE_MOLECULES ?= 30 100 300
# Then how well raw traces of known truth are idealised, and how close the dwell rates of their
# paths come to the truth: VALIDATE_HMM_SETS data sets per case of VALIDATE_HMM_MOLECULES
# molecules of VALIDATE_HMM_FRAMES frames; 9 minutes on 2 cores.
VALIDATE_HMM_SETS ?= 100
VALIDATE_HMM_MOLECULES ?= 20
VALIDATE_HMM_FRAMES ?= 500
# Then how close the dwell-time rates come to simulated truth and how often their intervals hold
# it: VALIDATE_DWELL_SETS data sets of each of VALIDATE_DWELL_MOLECULES molecules; the README's
# table took 200, 13 minutes on 2 cores beside a build, and 100 take half that.
VALIDATE_DWELL_SETS ?= 100
VALIDATE_DWELL_MOLECULES ?= 30 100 300
# Then how close the rate matrix comes to the rate constants of a chain that steps inside frames,
# beside the dwell rates and the frame-corrected pooled rate, and how often their intervals hold
# them: VALIDATE_RATES_SETS data sets of 100 molecules at each of four frame times, with
# VALIDATE_RATES_REPLICATES bootstrap replicates.
VALIDATE_RATES_SETS ?= 200
VALIDATE_RATES_REPLICATES ?= 1000
validate: build
	$(BUILD_DIR)/bench/varnel-validate $(VALIDATE_SETS) $(VALIDATE_MOLECULES)
	$(BUILD_DIR)/bench/varnel-validate-idealise $(VALIDATE_HMM_SETS) $(VALIDATE_HMM_MOLECULES) $(VALIDATE_HMM_FRAMES)
	$(BUILD_DIR)/bench/varnel-validate-dwell $(VALIDATE_DWELL_SETS) $(VALIDATE_DWELL_MOLECULES)
	$(BUILD_DIR)/bench/varnel-validate-rates $(VALIDATE_RATES_SETS) $(VALIDATE_RATES_REPLICATES)

# The picture of the window in docs/ is taken by a test tool, built with the tests.
screenshot: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_SANITIZE=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS) --target varnel-window-shot
	@scripts/screenshot $(TEST_BUILD_DIR)

# A long random session under the sanitizers (the test suite runs a short one).
SOAK_ACTIONS ?= 200000
soak: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_SANITIZE=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS) --target varnel_tests
	VARNEL_SOAK_ACTIONS=$(SOAK_ACTIONS) $(TEST_BUILD_DIR)/tests/varnel_tests --gtest_filter='SoakTest.*'

# The libFuzzer targets need clang; each runs for FUZZ_SECONDS, seeded with the example reports,
# scripts and colour table (scripts/fuzz).
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps --fuzz
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_SANITIZE=ON \
	  -DVARNEL_BUILD_FUZZ=ON -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_PYTHON=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzz_report fuzz_script fuzz_colortable fuzz_traces fuzz_dwells
	@scripts/fuzz build-fuzz $(FUZZ_SECONDS)

# The toolkit-free core and its unit tests, built for Windows with mingw-w64 and run under Wine.
CROSS_BUILD_DIR ?= build-cross
cross-test:
	@scripts/install-deps --cross
	@JOBS=$(JOBS) scripts/cross-test $(CROSS_BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(CROSS_BUILD_DIR) demo-out
