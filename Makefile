# Makefile -- one-command set-up: `make run` plays the show, `make test` runs every test.
BUILD     ?= build
ASAN      ?= build-asan
FUZZ      ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS      ?= $(shell nproc)
ARGS      ?=
CMAKE_ARGS ?=

.PHONY: all deps configure build run test test-plain test-asan fuzz render quality clean

all: build

deps:
	@sh tools/deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The show reads data/ relative to the working directory, so it runs from the build folder.
run: build
	cd $(BUILD) && ./kerv16 $(ARGS)

test: test-plain test-asan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer, on the plain build's data.
test-asan: build
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKERV_SANITIZE=ON -DKERV_BUILD_DATA=OFF \
	      -DKERV_DATA_ROOT=$(abspath $(BUILD)) $(CMAKE_ARGS)
	cmake --build $(ASAN) -j$(JOBS) --target kerv16_tests
	cd $(ASAN) && ctest --output-on-failure -j$(JOBS) -L unit

# Scores the cell conversion against a naive one, chafa and img2txt on a set of test pictures.
quality: build
	sh tools/quality/run.sh $(BUILD)

# Every libFuzzer target for FUZZ_SECONDS each (clang only; skipped with a note without it).
# FUZZ_TARGETS="gml sync" runs only those.
fuzz: build
	JOBS=$(JOBS) sh fuzz/run.sh $(abspath $(BUILD)) $(abspath $(FUZZ)) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ)
