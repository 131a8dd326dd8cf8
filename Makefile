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
# `make run` starts the shipped program; where 32-bit code cannot run, the same sources built
# for x86_64 without tests stand in for it.
RUN_BUILD = $(if $(filter i686,$(TEST_ARCH)),$(BUILD)/product,$(BUILD)/product-x86_64)
# A virtual display with a work area, ended with the Wine servers of the test build after the run.
XVFB = tools/with_display.sh $(TEST_BUILD)

# configure(build folder, toolchain file or empty, cmake options): CMake reads the toolchain
# file on the first configure only, and warns that it went unused when it is given again.
configure = cmake -S . -B $(1) $(if $(2),$$([ -f $(1)/CMakeCache.txt ] || \
  echo -DCMAKE_TOOLCHAIN_FILE=$(2))) $(3)

.PHONY: all deps product native fuzz lint test-build test run dist bench clean $(BUILD)/product-x86_64

all: product

deps:
	@tools/install-deps.sh

product: deps
	$(call configure,$(BUILD)/product,cmake/toolchain-i686-mingw.cmake,\
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_TESTS=OFF)
	cmake --build $(BUILD)/product -j $(JOBS)

$(BUILD)/product-x86_64: deps
	$(call configure,$@,cmake/toolchain-x86_64-mingw.cmake,\
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_TESTS=OFF)
	cmake --build $@ -j $(JOBS)

# The decision core on the host, under AddressSanitizer and UndefinedBehaviorSanitizer: builds
# and runs its unit tests.
native: deps
	$(call configure,$(BUILD)/native,,-DCMAKE_BUILD_TYPE=Debug -DQB7_SANITIZE=ON)
	cmake --build $(BUILD)/native -j $(JOBS)
	ctest --test-dir $(BUILD)/native --output-on-failure

# The same under clang, then each fuzzer for FUZZ_SECONDS from the committed seeds.
fuzz: deps
	CC=clang-14 CXX=clang++-14 $(call configure,$(BUILD)/fuzz,,-DCMAKE_BUILD_TYPE=Debug \
	  -DQB7_SANITIZE=ON -DQB7_FUZZ_SECONDS=$(FUZZ_SECONDS))
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	ctest --test-dir $(BUILD)/fuzz --output-on-failure

# clang-format and cppcheck over our sources; changes nothing.
lint: deps
	tools/lint.sh

test-build: product
	$(call configure,$(TEST_BUILD),cmake/toolchain-$(TEST_ARCH)-mingw.cmake,\
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_PRODUCT_EXE=$(CURDIR)/$(BUILD)/product/ui/QB7_LX450.exe)
	cmake --build $(TEST_BUILD) -j $(JOBS)

test: native fuzz lint test-build
	$(XVFB) ctest --test-dir $(TEST_BUILD) --output-on-failure

run: product
	@[ $(TEST_ARCH) = i686 ] || { echo "This machine cannot run 32-bit code: running the" \
	  "same program built for x86_64."; $(MAKE) --no-print-directory $(RUN_BUILD); }
	tools/run_sample.sh $(RUN_BUILD)

# DRIVER_PACKAGE=folder with Driver\... of a real driver package; the sample one otherwise. It
# reaches the script through the environment, so any character of its path survives.
# SIGN_CERT and SIGN_KEY, or SIGN_PKCS12, sign the program (SIGN_URL, TIMESTAMP_URL, SIGN_CAFILE);
# CATALOG_CAFILE adds authorities for the driver package's catalogs that Debian does not carry;
# SIGN_PASS belongs in the environment, not on make's command line, which other users can read.
export SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PASS SIGN_URL TIMESTAMP_URL SIGN_CAFILE CATALOG_CAFILE \
  DRIVER_PACKAGE
dist: product
	medium/make_dist.sh $(BUILD)/product $(BUILD)/dist "$$DRIVER_PACKAGE"

# Not a test: measures size, start-up, completion latency and CPU, and writes the table to
# build/bench.md.
bench: test-build
	$(XVFB) tools/bench/run_bench.sh $(TEST_BUILD) $(BUILD)/product $(BUILD)/bench.md

clean:
	rm -rf $(BUILD)
