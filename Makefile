# The two commands of the README; everything else is CMake and CTest.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test build deps configure clean

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
		exec xvfb-run -a -s "-screen 0 1280x1100x24" $(BUILD)/src/app/quorvel; \
	else \
		exec $(BUILD)/src/app/quorvel; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

deps:
	./tools/install-deps.sh

configure:
	@if [ ! -f $(BUILD)/build.ninja ]; then \
		cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS); \
	fi

clean:
	rm -rf $(BUILD)
