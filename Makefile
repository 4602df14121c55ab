# Entry points for people; CMake does the building. See README.md.
# QT=5 (the default) or QT=6: the Qt that build, run, bench, package and the like use.
QT          ?= 5
BUILD_QT5   ?= build
BUILD_QT6   ?= build-qt6
BUILD       ?= $(BUILD_QT$(QT))
PACKAGE_DIR ?= $(if $(filter 6,$(QT)),dist-qt6,dist)
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=
WINDOWS_BUILD ?= build-windows
SCOUT_WINDOWS_QT ?= $(HOME)/.cache/ostrel-scout/qt6-mingw
export SCOUT_WINDOWS_QT

.PHONY: deps build build-asan run test test-normal test-qt5 test-qt6 test-sanitize bench format tidy
.PHONY: images clean
.PHONY: build-fuzz test-fuzz fuzz soak valgrind translations

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCOUT_QT_MAJOR=$(QT) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSCOUT_SANITIZE=ON -DSCOUT_QT_MAJOR=5 \
		$(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/ostrel-scout

# The sanitizer and fuzz builds use Qt 5 only; every other test runs against Qt 5 and Qt 6.
# The sanitizer run goes first so that the plain runs' summaries close the output.
test: test-sanitize test-fuzz test-qt5 test-qt6

test-normal: build
	scripts/isolated ctest --test-dir $(BUILD) --output-on-failure

test-qt5 test-qt6: test-qt%:
	$(MAKE) test-normal QT=$*

test-sanitize: build-asan
	scripts/isolated ctest --test-dir $(ASAN_BUILD) --output-on-failure

# libFuzzer needs clang; the fuzz build holds only the libraries that read network input.
build-fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSCOUT_FUZZ=ON -DSCOUT_QT_MAJOR=5 $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Each fuzz target for a few seconds; `make fuzz` runs each for FUZZ_SECONDS.
test-fuzz: build-fuzz
	scripts/isolated ctest --test-dir $(FUZZ_BUILD) --output-on-failure --verbose

fuzz: build-fuzz
	for target in parseanswer ipsortkey updateanswer; do \
		scripts/isolated tests/fuzz/run-fuzzer $(FUZZ_BUILD)/tests/fuzz/fuzz-$$target \
			tests/fuzz/corpus/$$target $(FUZZ_BUILD)/tests/fuzz/$$target $(FUZZ_SECONDS) || exit 1; \
	done

# Benchmarks are timed, so they run on the normal build and never as part of `make test`.
# Each runs even when one before it missed a target; the status says whether all were met.
bench: build
	status=0; \
	for program in discovery devicetable cli ranges status watch; do \
		scripts/isolated $(BUILD)/bench/scout-bench-$$program || status=1; \
	done; \
	exit $$status

# The window under a 30 s flood of answers, Refresh pressed every second.
soak: build
	scripts/isolated $(BUILD)/bench/scout-soak

# One run of the whole program under valgrind's memcheck (also part of `make test`).
valgrind: build
	scripts/isolated ctest --test-dir $(BUILD) -R '^program_under_valgrind$$' --output-on-failure \
		--verbose

format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Static analysis of the program's own sources (tests and tools excluded); see .clang-tidy.
tidy: build
	git ls-files 'app/*.cpp' 'cli/*.cpp' 'common/*.cpp' 'discovery/*.cpp' 'ui/*.cpp' 'update/*.cpp' \
		'watch/*.cpp' \
		| xargs -n1 -P$(JOBS) clang-tidy -p $(BUILD) --quiet

# Brings translations/*.ts up to date with the texts in the sources (lupdate).
translations: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCOUT_QT_MAJOR=$(QT) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target update-translations

images: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/draw-images/scout-draw-images resources

.PHONY: test-debian13

# The Qt 5 and Qt 6 suites again in a Debian 13 root made with debootstrap (kept in
# SCOUT_DEBIAN13_ROOT, ~/.cache/ostrel-scout/debian13 unless set); see scripts/test-debian13.
test-debian13: deps
	JOBS=$(JOBS) scripts/test-debian13

.PHONY: package screenshot demo

# The Debian packages, built as Debian builds them (suite included), checked by lintian; against
# Qt 6 with QT=6, into dist-qt6/.
package: deps
	SCOUT_QT_MAJOR=$(QT) scripts/build-package $(PACKAGE_DIR)

screenshot: build
	scripts/screenshot $(BUILD)/app/ostrel-scout desktop/screenshot.png

clean:
	rm -rf $(BUILD_QT5) $(BUILD_QT6) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)

# The program among twenty simulated devices: fifteen on two LANs, five behind a router;
# see scripts/demo.
demo: build
	SCOUT_PROGRAM=$(BUILD)/app/ostrel-scout SCOUT_DEVICE_SIM=$(BUILD)/tools/device-sim/ostrel-device-sim \
		scripts/demo

.PHONY: windows-deps windows test-windows windows-installer windows-device-sim bench-windows

# Windows: Qt for Windows built once from Debian's source (scripts/windows-qt), then the
# programs, the simulator and the tests cross-built with MinGW-w64 into build-windows/.
windows-deps:
	@scripts/install-deps --windows
	scripts/windows-qt

windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=Release -DSCOUT_QT_MAJOR=6 \
		-DCMAKE_TOOLCHAIN_FILE=$(SCOUT_WINDOWS_QT)/lib/cmake/Qt6/qt.toolchain.cmake \
		-DQT_CHAINLOAD_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# ostrel-scout-2.0-setup.exe in build-windows/, made with NSIS.
windows-installer: windows
	cmake --build $(WINDOWS_BUILD) --target windows-installer

# The Windows build's tests under Wine, in a private network namespace; the tests that need
# Linux around the Windows programs (networks, the installer) build those from outside.
test-windows: windows windows-installer windows-device-sim
	scripts/isolated $(WINDOWS_BUILD)/wine-run --server-for \
		ctest --test-dir $(WINDOWS_BUILD) --output-on-failure

# The Windows window under Wine in a flood of answers: how soon Refresh sends its request.
bench-windows: windows windows-device-sim
	SCOUT_DEVICE_SIM=$(BUILD_QT6)/tools/device-sim/ostrel-device-sim \
		bench/windows-flood $(WINDOWS_BUILD)/wine-run $(WINDOWS_BUILD)/app/ostrel-scout.exe

# The Linux simulator that plays the devices around the Windows programs (SCOUT_LINUX_DEVICE_SIM
# in the Windows build; build-qt6's unless set).
windows-device-sim: deps
	cmake -S . -B $(BUILD_QT6) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCOUT_QT_MAJOR=6 $(CMAKE_FLAGS)
	cmake --build $(BUILD_QT6) --target ostrel-device-sim -j $(JOBS)
