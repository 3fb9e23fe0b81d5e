# SPDX-License-Identifier: MIT
# `make demo` builds the filter and converts the sample log; `make test` builds everything and
# runs every test.  Each first installs the Debian packages it needs that are missing (the lists
# in deps/, through deps/install.sh); NO_INSTALL=1 skips that.  CMAKE_FLAGS adds options.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
NO_INSTALL ?=
install = $(if $(NO_INSTALL),@:,@sh deps/install.sh $(1))

.PHONY: all demo test clean

all: demo

demo:
	$(call install,deps/build)
	@cmake -S . -B $(BUILD) -DCANTEXT_BUILD_TESTS=AUTO $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) --target cantext-long -j $(JOBS) >$(BUILD)/demo-build.log || \
	  { cat $(BUILD)/demo-build.log; exit 1; }
	@$(BUILD)/tools/cantext-long <examples/sample.log

test:
	$(call install,deps/build deps/test)
	cmake -S . -B $(BUILD) -DCANTEXT_BUILD_TESTS=ON -DCANTEXT_PYTHON=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

clean:
	rm -rf $(BUILD)
