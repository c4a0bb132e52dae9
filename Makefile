# The two commands of the README: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean fuzz asan-test

all: build

deps:
	@scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS); \
	fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/basrt-asm asm examples/demo.basm -o $(BUILD)/demo.bin
	@$(BUILD)/basrt $(BUILD)/demo.bin

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@python3 bench/run.py --build $(BUILD)

# Fuzzing: the fuzz target, built with clang and the sanitizers in its own
# directory, runs for FUZZ_SECONDS over the seed corpus (every program of the
# tree) and the corpus it has gathered so far; an input that fails is kept
# in $(FUZZ_BUILD)/artifacts.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_FLAGS ?=

fuzz: deps
	@if [ ! -f $(FUZZ_BUILD)/build.ninja ]; then \
	  CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBASRT_FUZZ=ON; \
	fi
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_image fuzz_corpus
	@mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts
	$(FUZZ_BUILD)/fuzz_image -max_total_time=$(FUZZ_SECONDS) -timeout=25 -rss_limit_mb=3072 \
	  -dict=$(FUZZ_BUILD)/fuzz-seeds.dict -artifact_prefix=$(abspath $(FUZZ_BUILD))/artifacts/ $(FUZZ_FLAGS) $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/fuzz-seeds

# The whole test suite, built with AddressSanitizer and
# UndefinedBehaviorSanitizer. A sanitizer's report ends the process with a
# status of its own, which no test expects.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = ASAN_OPTIONS=exitcode=86:detect_leaks=1:abort_on_error=0 \
  UBSAN_OPTIONS=exitcode=87:print_stacktrace=1:halt_on_error=1

asan-test: deps
	@if [ ! -f $(ASAN_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBASRT_SANITIZE=ON; \
	fi
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
