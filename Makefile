# Set-up and build in two commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run bench package clean test-sanitize fuzz tidy format-check

all: build

deps:
	@scripts/install-deps

# WERROR=ON makes compiler warnings errors (CI builds so).
WERROR ?= OFF

# ccache, where installed, makes rebuilds in several work trees cheap.
LAUNCHER := $(shell command -v ccache 2>/dev/null)

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DZELMORA_WERROR=$(WERROR) $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# clang-tidy's bugprone-* and performance-* checks (.clang-tidy), no finding allowed.
tidy: build
	@scripts/tidy $(BUILD)

# Every C and C++ source formatted as .clang-format says (scripts/format applies it).
format-check: deps
	@scripts/format --check

run: build
	@scripts/run

bench: build
	@scripts/bench

# The Debian package zelmora_<version>_<arch>.deb in $(BUILD)/ (cpack).
package: build
	@cmake --build $(BUILD) --target package

# The suite under AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer, in a build folder of its own; the window tests
# run too, offscreen.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:suppressions=$(CURDIR)/tests/sanitize/asan.supp \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELMORA_SANITIZE=ON -DZELMORA_BENCH=OFF -DZELMORA_WERROR=$(WERROR) \
		$(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null
	@$(SANITIZE_ENV) cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang) built into their own folder and run for
# FUZZ_SECONDS each on a copy of the committed seeds, so the corpus a run
# grows never touches the work tree.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZ_MAX_LEN ?= 65536

fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DZELMORA_FUZZ=ON \
		-DZELMORA_GUI=OFF -DZELMORA_TESTS=OFF -DZELMORA_BENCH=OFF -DZELMORA_WERROR=$(WERROR) \
		$(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null
	@cmake --build $(FUZZ_BUILD) --target zelmora_fuzzers -j $(JOBS)
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_MAX_LEN)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
