# Two entry points: `make run` builds and runs vindle, `make test` builds and
# runs the whole test suite. Both install missing Debian packages when run as
# root.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test clean

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD)

run: build
	./$(BUILD)/vindle $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure --timeout 300

clean:
	rm -rf $(BUILD)
