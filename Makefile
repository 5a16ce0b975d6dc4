# Set-up and build in two commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run bench package clean

all: build

deps:
	@scripts/install-deps

# ccache, where installed, makes rebuilds in several work trees cheap.
LAUNCHER := $(shell command -v ccache 2>/dev/null)

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run

bench: build
	@scripts/bench

# The Debian package zelmora_<version>_<arch>.deb in $(BUILD)/ (cpack).
package: build
	@cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD)
