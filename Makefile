# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build test test-lab run bench clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only the tests that send inside the lab.
test-lab: build
	cd $(BUILD) && ctest --output-on-failure -L lab

run: build
	tests/lab/run-demo.sh $(BUILD)

# The benchmarks of bench/, each in a lab of its own; they print figures, not verdicts.
bench: build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
