# Entry points: `make run` starts the program from a sample medium under Wine, `make test` runs
# every test. Both install what is missing first (Debian 12).
#
# The shipped program is 32-bit (build/product). Tests run the same sources built for
# TEST_ARCH: i686 where this machine can run 32-bit code (in the 64-bit prefix under WOW64, and
# some cases again in a 32-bit prefix), x86_64 where its kernel cannot (then 32-bit Wine does not
# start at all).

JOBS ?= 2
# `make fuzz` fuzzes each target this long; `make test` replays the committed seeds and fuzzes
# each only TEST_FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
TEST_FUZZ_SECONDS ?= 5
# Cases that ctest runs side by side in the test tree; the Wine cases among them each take a
# slot of their own (tests/CMakeLists.txt), WINE_SLOTS of them.
TEST_JOBS ?= 3
WINE_SLOTS ?= 2
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
# clock(part) COMMAND: runs COMMAND and notes its time, or its cases' times, for the summary
# that ends `make test`.
CLOCK_LOG = $(BUILD)/test-clock.jsonl
clock = /usr/bin/python3 tools/test_clock.py $(CLOCK_LOG) $(1)

# configure(build folder, toolchain file or empty, cmake options): CMake reads the toolchain
# file on the first configure only, and warns that it went unused when it is given again.
configure = cmake -S . -B $(1) $(if $(2),$$([ -f $(1)/CMakeCache.txt ] || \
  echo -DCMAKE_TOOLCHAIN_FILE=$(2))) $(3)

.PHONY: all deps product native fuzz lint test-build test test-clock run dist bench clean \
  $(BUILD)/product-x86_64

all: product

deps:
	@tools/install-deps.sh

product: deps
	$(call clock,builds) $(call configure,$(BUILD)/product,cmake/toolchain-i686-mingw.cmake,\
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_TESTS=OFF)
	$(call clock,builds) cmake --build $(BUILD)/product -j $(JOBS)

$(BUILD)/product-x86_64: deps
	$(call configure,$@,cmake/toolchain-x86_64-mingw.cmake,\
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_TESTS=OFF)
	cmake --build $@ -j $(JOBS)

# The decision core on the host, under AddressSanitizer and UndefinedBehaviorSanitizer: builds
# and runs its unit tests.
native: deps
	$(call clock,builds) $(call configure,$(BUILD)/native,,-DCMAKE_BUILD_TYPE=Debug -DQB7_SANITIZE=ON)
	$(call clock,builds) cmake --build $(BUILD)/native -j $(JOBS)
	$(call clock,unit) ctest --test-dir $(BUILD)/native -j $(JOBS) --output-on-failure

# The same under clang, then each fuzzer for FUZZ_SECONDS from the committed seeds.
fuzz: deps
	CC=clang-14 CXX=clang++-14 $(call clock,builds) $(call configure,$(BUILD)/fuzz,,\
	  -DCMAKE_BUILD_TYPE=Debug -DQB7_SANITIZE=ON -DQB7_FUZZ_SECONDS=$(FUZZ_SECONDS))
	$(call clock,builds) cmake --build $(BUILD)/fuzz -j $(JOBS)
	@echo "Fuzzing each target for $(FUZZ_SECONDS) s (FUZZ_SECONDS=N to change)"
	$(call clock,fuzz) ctest --test-dir $(BUILD)/fuzz -j $(JOBS) --output-on-failure

# clang-format and cppcheck over our sources; changes nothing.
lint: deps
	$(call clock,lint) tools/lint.sh

test-build: product
	$(call clock,builds) $(call configure,$(TEST_BUILD),cmake/toolchain-$(TEST_ARCH)-mingw.cmake,\
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DQB7_WINE_SLOTS=$(WINE_SLOTS) \
	  -DQB7_PRODUCT_EXE=$(CURDIR)/$(BUILD)/product/ui/QB7_LX450.exe)
	$(call clock,builds) cmake --build $(TEST_BUILD) -j $(JOBS)

# Prerequisites are made in the order given: the clock starts before the first of them.
test: FUZZ_SECONDS = $(TEST_FUZZ_SECONDS)
test: test-clock native fuzz lint test-build
	$(XVFB) $(call clock,"Wine cases") ctest --test-dir $(TEST_BUILD) -j $(TEST_JOBS) \
	  --resource-spec-file $(CURDIR)/$(TEST_BUILD)/wine_slots.json --output-on-failure; \
	  status=$$?; $(call clock,--summary); exit $$status

test-clock: deps
	@mkdir -p $(BUILD) && $(call clock,--reset)

run: product
	@[ $(TEST_ARCH) = i686 ] || { echo "This machine cannot run 32-bit code: running the" \
	  "same program built for x86_64."; $(MAKE) --no-print-directory $(RUN_BUILD); }
	tools/run_sample.sh $(RUN_BUILD)

# DRIVER_PACKAGE=folder with Driver\... of a real driver package; the sample one otherwise. It
# reaches the script through the environment, so any character of its path survives.
# SIGN_CERT and SIGN_KEY, or SIGN_PKCS12, sign the program (SIGN_URL, TIMESTAMP_URL, SIGN_CAFILE);
# with SIGN_PKCS11_MODULE, SIGN_KEY is the pkcs11: URI of a key on a token;
# CATALOG_CAFILE adds authorities for the driver package's catalogs to the roots Windows trusts;
# SIGN_PASS belongs in the environment, not on make's command line, which other users can read.
export SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PKCS11_MODULE SIGN_PASS SIGN_URL TIMESTAMP_URL SIGN_CAFILE \
  CATALOG_CAFILE DRIVER_PACKAGE
dist: product
	medium/make_dist.sh $(BUILD)/product $(BUILD)/dist "$$DRIVER_PACKAGE"

# Not a test: measures size, start-up, completion latency and CPU, and writes the table to
# build/bench.md.
bench: test-build
	$(XVFB) tools/bench/run_bench.sh $(TEST_BUILD) $(BUILD)/product $(BUILD)/bench.md

clean:
	rm -rf $(BUILD)
