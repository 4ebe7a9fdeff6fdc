# The whole set-up: `make run` and `make test`. Both install missing Debian
# packages first (scripts/install-deps.sh), then configure and build.
BUILD ?= build
BENCH_BUILD ?= build-bench
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Where `make package` leaves the .deb files (and its copy of the tree while building).
PACKAGE_DIR ?= build-package
# Per fuzzing program.
FUZZ_SECONDS ?= 20
CMAKE_FLAGS ?=

.PHONY: all deps test-deps configure build run test test-asan fuzz bench package package-check screenshots

all: build

deps:
	@scripts/install-deps.sh build run

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

# The project's own checks build with warnings as errors.
CHECK_FLAGS = -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

test-deps:
	@scripts/install-deps.sh build run test bench

run: build
	@scripts/run.sh $(BUILD)/src/app/tolvanis $(BUILD)/demo

# The Debian packages, tolvanis and tolvanis-dbgsym: dpkg-buildpackage with
# debhelper, Debian's build flags and hardening, the binary stripped.
package:
	@scripts/install-deps.sh build package
	scripts/build-package.sh $(PACKAGE_DIR)

# lintian, the desktop entry and AppStream metadata, the size limits, the
# packaged program in a virtual desktop's tray, and piuparts in a clean Debian
# 12 chroot (minutes; PIUPARTS=0 leaves it out).
PIUPARTS ?= 1
package-check: package
	@scripts/install-deps.sh test package
	TOLVANIS_PIUPARTS=$(PIUPARTS) scripts/check-package.sh $(PACKAGE_DIR)

test: test-deps
	cmake -S . -B $(BUILD) -G Ninja $(CHECK_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(BUILD)
	scripts/test-session.sh ctest --test-dir $(BUILD) --output-on-failure --timeout 600

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer,
# with the leak check at every exit (it needs no suppressions).
test-asan: test-deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DTOLVANIS_SANITIZE=ON $(CHECK_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/test-session.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure --timeout 600

# Every parser of outside input under libFuzzer (clang), FUZZ_SECONDS each.
fuzz:
	@scripts/install-deps.sh build fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTOLVANIS_BUILD_FUZZERS=ON \
	  -DBUILD_TESTING=OFF $(CHECK_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) --target fuzzers
	scripts/run-fuzzers.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

# Each benchmark runs on a private X desktop with a tray (bench_shell starts the
# program there) inside a private D-Bus session; the table of the figures that
# matter, next to the bare tray program's, comes last.
bench: test-deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANIS_BUILD_BENCH=ON
	cmake --build $(BENCH_BUILD)
	@rm -rf $(BENCH_BUILD)/results && mkdir -p $(BENCH_BUILD)/results
	@for b in $(BENCH_BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; \
	  QT_QPA_PLATFORM=offscreen scripts/test-session.sh scripts/virtual-desktop.sh "$$b" \
	    --benchmark_counters_tabular=true --benchmark_out_format=json \
	    --benchmark_out=$(BENCH_BUILD)/results/$$(basename "$$b").json || exit 1; done
	@scripts/bench-table.py $(BENCH_BUILD)/results

# The translate panel in its main states and the settings window, light and dark, 1x and 2x.
screenshots: configure
	cmake --build $(BUILD) --target tolvanis_screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/tolvanis_screenshots $(BUILD)/screenshots
