# The two everyday commands: `make run` and `make test`. Each installs the
# missing Debian packages, builds with CMake + Ninja and runs.
BUILD ?= build
JOBS ?= $(shell nproc)
GUI ?= ON
# ccache, when the machine has it, shares objects between build folders.
CCACHE := $(shell command -v ccache 2>/dev/null)
export CCACHE_BASEDIR := $(CURDIR)
CMAKE_FLAGS ?=

.PHONY: lint deps configure build run test test-asan test-tsan fuzz bench clean screenshots deb release

deps:
	@QUORVIL_GUI=$(GUI) scripts/install-deps

# The everyday build favours build time: light optimisation, assertions on.
# Benchmarks have their own optimised build (make bench).
$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DQUORVIL_GUI=$(GUI) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g0" \
	  $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)) $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run-demo $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The widget tests render the windows they drive into docs/screenshots.
screenshots: build
	cd $(BUILD) && QUORVIL_SCREENSHOT_DIR=$(CURDIR)/docs/screenshots ctest -L ui -j $(JOBS)

# The tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -G Ninja -DQUORVIL_GUI=$(GUI) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQUORVIL_SANITIZE="address;undefined" \
	  $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))
	cmake --build build-asan -j $(JOBS) --target all_tests
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The thread tests under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DQUORVIL_GUI=OFF -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQUORVIL_SANITIZE=thread \
	  $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))
	cmake --build build-tsan -j $(JOBS) --target thread_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -L thread

# Each fuzz target for a short, fixed time (FUZZ_SECONDS, default 30).
FUZZ_SECONDS ?= 30
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUORVIL_GUI=OFF \
	  -DQUORVIL_TESTS=OFF -DQUORVIL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))
	cmake --build build-fuzz -j $(JOBS)
	scripts/run-fuzzers build-fuzz $(FUZZ_SECONDS)

bench:
	@QUORVIL_BENCH_PEERS=1 scripts/install-deps
	cmake -S . -B build-bench -G Ninja -DQUORVIL_GUI=ON -DQUORVIL_TESTS=OFF -DQUORVIL_BENCH=ON \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	scripts/run-bench build-bench

# The optimised desktop build that the package is made of, installed under
# /usr with the system folders /etc and /lib/systemd/system, with Debian's
# hardening flags.
RELEASE_FLAGS ?= -O2 -DNDEBUG -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security
release: deps
	cmake -S . -B build-release -G Ninja -DQUORVIL_GUI=ON -DQUORVIL_TESTS=OFF \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="$(RELEASE_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" \
	  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_SYSCONFDIR=/etc \
	  -DQUORVIL_SYSTEMD_UNITDIR=/lib/systemd/system -DQUORVIL_PACKAGE_DIR=$(CURDIR)/$(BUILD) \
	  $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))
	cmake --build build-release -j $(JOBS)

# The Debian package: $(BUILD)/quorvil_<version>_<arch>.deb.
deb: release
	mkdir -p $(BUILD)
	cd build-release && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-bench build-release

# The static checks: includes against the layer table, formatting, and
# clang-tidy on every file (CI runs clang-tidy on the files of the last 20
# commits only).
lint: build
	scripts/lint $(BUILD)
