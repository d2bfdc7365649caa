# One-line entry points; each configures and builds what it needs.
JOBS ?= $(shell nproc)
CMAKE_TEST = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_ASSERTS=ON
CMAKE_RELEASE = -DCMAKE_BUILD_TYPE=Release -DTESSERA_TESTS=OFF
ITERATIONS ?= 20
FUZZ_SECONDS ?= 600

.PHONY: all deps build test test-sanitize run bench fuzz clean

all: build

deps:
	@bash .ci/install-deps

build: deps
	cmake -S . -B build/release $(CMAKE_RELEASE)
	cmake --build build/release -j$(JOBS)

test: deps
	cmake -S . -B build/test $(CMAKE_TEST) -DTESSERA_WERROR=ON
	cmake --build build/test -j$(JOBS)
	ctest --test-dir build/test --output-on-failure -j$(JOBS)

test-sanitize: deps
	cmake -S . -B build/sanitize $(CMAKE_TEST) -DTESSERA_SANITIZE=ON -DTESSERA_BENCH=OFF
	cmake --build build/sanitize -j$(JOBS)
	ctest --test-dir build/sanitize --output-on-failure -j$(JOBS)

# Runs the quick bundled example in a scratch folder so the repository stays clean.
run: build
	@bash examples/run-example build/release/app/tessera run/quick examples/quick $(ITERATIONS)

# Each fuzz target in turn for FUZZ_SECONDS, built with clang in build/fuzz.
fuzz: deps
	JOBS=$(JOBS) bash tests/fuzz/run-fuzzers $(FUZZ_SECONDS)

# The fast evaluation against the reference, and how its time grows (Release build).
bench: build
	bash bench/run-bench build/release/bench/tessera-bench $(THREADS)

clean:
	rm -rf build run
