# The two commands of the README: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean

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

clean:
	rm -rf $(BUILD)
