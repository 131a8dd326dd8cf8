# Entry points: `make run` starts the program from a sample medium under Wine, `make test` runs
# every test. Both install what is missing first (Debian 12).
#
# The shipped program is 32-bit (build/product). Tests run the same sources built for
# TEST_ARCH: i686 where this machine can run 32-bit code (in the 64-bit prefix under WOW64, and
# some cases again in a 32-bit prefix), x86_64 where its kernel cannot (then 32-bit Wine does not
# start at all).

JOBS ?= 2
FUZZ_SECONDS ?= 60
# Whether 32-bit Wine starts can only be known once the packages are installed: the choice is
# made the first time a recipe asks, after `deps` has run, and then kept for the whole run.
TEST_ARCH ?= $(eval TEST_ARCH := $(shell tools/can_run_32bit.sh && echo i686 || echo x86_64))$(TEST_ARCH)
BUILD := build
TEST_BUILD = $(BUILD)/test-$(TEST_ARCH)
# A virtual display with a work area, ended with the Wine servers of the test build after the run.
XVFB = tools/with_display.sh $(TEST_BUILD)

.PHONY: all deps product native fuzz lint test-build test run dist bench clean

all: product

deps:
	@tools/install-deps.sh

product: deps
	cmake -S . -B $(BUILD)/product -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake
	cmake --build $(BUILD)/product -j $(JOBS)

# The decision core on the host, under AddressSanitizer and UndefinedBehaviorSanitizer.
native: deps
	cmake -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug -DQB7_SANITIZE=ON
	cmake --build $(BUILD)/native -j $(JOBS)

# The same under clang, then each fuzzer for FUZZ_SECONDS from the committed seeds.
fuzz: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=Debug \
	  -DQB7_SANITIZE=ON -DQB7_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	ctest --test-dir $(BUILD)/fuzz --output-on-failure

# clang-format and cppcheck over our sources; changes nothing.
lint: deps
	tools/lint.sh

test-build: product
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$(TEST_ARCH)-mingw.cmake \
	  -DQB7_PRODUCT_EXE=$(CURDIR)/$(BUILD)/product/ui/QB7_LX450.exe
	cmake --build $(TEST_BUILD) -j $(JOBS)

test: native fuzz lint test-build
	ctest --test-dir $(BUILD)/native --output-on-failure
	$(XVFB) ctest --test-dir $(TEST_BUILD) --output-on-failure

run: test-build
	tools/run_sample.sh $(TEST_BUILD)

# DRIVER_PACKAGE=folder with Driver\... of a real driver package; the sample one otherwise.
# SIGN_CERT and SIGN_KEY, or SIGN_PKCS12, sign the program (SIGN_PASS, SIGN_URL, TIMESTAMP_URL).
export SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PASS SIGN_URL TIMESTAMP_URL
dist: product
	tools/make_dist.sh $(BUILD)/product $(BUILD)/dist $(DRIVER_PACKAGE)

# Not a test: measures size, start-up, completion latency and CPU, and writes the table to
# build/bench.md.
bench: test-build
	$(XVFB) tools/bench/run_bench.sh $(TEST_BUILD) $(BUILD)/product $(BUILD)/bench.md

clean:
	rm -rf $(BUILD)
