# Thin wrapper over the CMake presets; the README's quick start uses these targets.
.PHONY: all deps build run test bench clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake --preset release
	cmake --build --preset release

run: build
	scripts/run-desktop build/release $(ARGS)

# The tests that start a virtual X server and the long playback runs run in .ci/run.
test: build
	ctest --preset quick -j2

bench: deps
	cmake --preset bench
	cmake --build --preset bench
	bench/run-all build/bench

clean:
	rm -rf build
