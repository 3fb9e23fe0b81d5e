# SPDX-License-Identifier: MIT
# Thin wrapper over CMake: `make demo` converts the sample log, `make test` runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all build demo test clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/tools/cantext-long < examples/sample.log

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
