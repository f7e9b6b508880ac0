# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build test test-lab run bench test-asan fuzz clean package install

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
	tools/run-demo.sh $(BUILD)

# The Debian packages searcher and searcher-devsim, left in $(BUILD).
package: build
	cd $(BUILD) && cpack

# Into CMAKE_INSTALL_PREFIX (/usr/local unless configured otherwise; DESTDIR works).
install: build
	cmake --install $(BUILD)

# The benchmarks of bench/, each in a lab of its own; they print figures, not verdicts.
bench: build
	bench/run.sh $(BUILD)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEARCHER_SANITIZE=ON
	ASAN_OPTIONS=detect_leaks=0 cmake --build $(ASAN_BUILD) -j $(JOBS)   # tools run while building
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# Each libFuzzer target of tests/fuzz for FUZZ_SECONDS, built by clang.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 120
fuzz: deps
	tools/install-deps.sh tools/fuzz-packages.txt
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEARCHER_FUZZ=ON
	ASAN_OPTIONS=detect_leaks=0 cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_datagram fuzz_tcp
	tools/fuzz-run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
