# Front door for newcomers and CI; the real build is CMake + Ninja.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: deps configure build test bench clean run

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	./scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD)

# The demo: a local mailbox of sample mail, checked by Veltrane (headless when there is no display).
run:
	./scripts/demo.sh
