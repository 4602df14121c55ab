# Entry points for people; CMake does the building. See README.md.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build build-asan run test test-normal test-sanitize bench format tidy images clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSCOUT_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/ostrel-scout

# The sanitizer run goes first so that the plain run's summary closes the output.
test: test-sanitize test-normal

test-normal: build
	scripts/isolated ctest --test-dir $(BUILD) --output-on-failure

test-sanitize: build-asan
	scripts/isolated ctest --test-dir $(ASAN_BUILD) --output-on-failure

# Benchmarks are timed, so they run on the normal build and never as part of `make test`.
bench: build
	scripts/isolated $(BUILD)/bench/scout-bench-discovery
	scripts/isolated $(BUILD)/bench/scout-bench-devicetable

format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Static analysis of the program's own sources (tests and tools excluded); see .clang-tidy.
tidy: build
	git ls-files 'app/*.cpp' 'common/*.cpp' 'discovery/*.cpp' 'ui/*.cpp' 'update/*.cpp' \
		| xargs -n1 -P$(JOBS) clang-tidy -p $(BUILD) --quiet

images: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/draw-images/scout-draw-images resources

.PHONY: package screenshot demo

# The Debian package, built as Debian builds it (suite included), checked by lintian.
package: deps
	scripts/build-package dist

screenshot: build
	scripts/screenshot $(BUILD)/app/ostrel-scout desktop/screenshot.png

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

# The program among a dozen simulated devices on two private networks; see scripts/demo.
demo: build
	scripts/demo
