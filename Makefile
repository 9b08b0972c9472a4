# Front door of the project: `make run` and `make test` do all the set-up on a fresh machine.
BUILD     ?= build
ASAN_BUILD ?= build-asan
JOBS      ?= $(shell nproc)
CMAKE_ARGS ?=
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
FUZZ_MERGE ?= 0
FUZZ_TARGETS ?=

.PHONY: all deps configure build test test-asan fuzz run bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON -DZEL_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j$(JOBS) -L unit

# The fuzz targets of fuzz/ built with clang (libFuzzer, AddressSanitizer, UBSan),
# each run for FUZZ_SECONDS on a copy of its corpus (FUZZ_TARGETS="a b" for some
# only, FUZZ_JOBS at a time). FUZZ_MERGE=1 keeps the new interesting inputs in fuzz/corpus.
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DZEL_FUZZ=ON -DZEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_JOBS=$(FUZZ_JOBS) FUZZ_MERGE=$(FUZZ_MERGE) fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_TARGETS)

run: build
	@scripts/run-demo $(BUILD)

bench: build
	@scripts/run-benchmarks $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
