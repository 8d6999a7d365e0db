# The two set-up commands: `make run` builds the Release engine and starts it;
# `make test` builds everything and runs every test.
BUILD ?= build/release
JOBS ?= 2

.PHONY: run test test-e2e build clean pgo test-sanitize fuzz-build fuzz-run format format-check exe

# Testing frameworks (OpenBench) build an engine with `make -j EXE=NAME
# [CXX=COMPILER]` and run `./NAME bench`: with EXE given, the default goal
# builds the Release engine alone, without the tests, in a folder of its own
# for each compiler, and copies it to ./NAME. A CXX given to make is handed
# to CMake; make's own default (g++) is not, so that CMake chooses as usual.
ifdef EXE
.DEFAULT_GOAL := exe
endif
EXE_CXX := $(if $(filter default,$(origin CXX)),,$(CXX))
EXE_BUILD ?= build/exe$(if $(EXE_CXX),-$(notdir $(EXE_CXX)))

exe:
	@test -n "$(EXE)" || { echo "make exe: name the program, as in make EXE=tarvik-dev" >&2; exit 2; }
	cmake -S . -B $(EXE_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF $(if $(EXE_CXX),-DCMAKE_CXX_COMPILER=$(EXE_CXX))
	cmake --build $(EXE_BUILD) -j$(JOBS) --target tarvik
	cp $(EXE_BUILD)/tarvik $(EXE)

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

run:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS) --target tarvik
	./$(BUILD)/tarvik

# Every test but the timed games against a real GUI (see test-e2e).
test: need-gtest build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

# Whole games through xboard and polyglot against fairymax; installs the
# Debian packages those need.
test-e2e: build
	tests/e2e/install_deps.sh
	cd $(BUILD) && ctest --output-on-failure -L e2e

clean:
	rm -rf build

# A Release build tuned by profile-guided optimisation, trained on tarvik-bench
# and a perft run (tools/pgo_train.sh): same output, faster. The engine is $(PGO_BUILD)/tarvik.
PGO_BUILD ?= build/pgo

pgo:
	cmake -S . -B $(PGO_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF -DTARVIK_PGO=GENERATE
	cmake --build $(PGO_BUILD) -j$(JOBS) --target tarvik tarvik-bench tarvik-perft
	tools/pgo_train.sh $(PGO_BUILD)
	cmake -S . -B $(PGO_BUILD) -DTARVIK_PGO=USE
	cmake --build $(PGO_BUILD) -j$(JOBS) --target tarvik tarvik-bench tarvik-perft

# The whole suite again in a Debug build under AddressSanitizer and
# UndefinedBehaviorSanitizer: every made move is checked for consistency and any
# memory error, leak or undefined behaviour fails the run. The perft suites run
# with their "sanitize" caps (tests/data/perft_caps.txt), lower since this
# build is some fifty times slower.
ASAN_BUILD ?= build/asan

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	. tools/facts.sh && perft_caps sanitize | while read -r suite nodes; do \
		./$(ASAN_BUILD)/tarvik-perft --epd tests/data/$$suite.epd --max-nodes $$nodes || exit 1; done
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -LE 'perft|e2e'

# libFuzzer targets (clang): `make fuzz-run FUZZ_SECONDS=60` runs each one for
# that long from its seed corpus and stops at the first finding.
FUZZ_BUILD ?= build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++-14

fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DTARVIK_FUZZ=ON -DTARVIK_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_position fuzz_uci

fuzz-run: fuzz-build
	fuzz/run.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

# Every C++ source follows .clang-format (clang-format-14); hand-laid tables
# are fenced with "// clang-format off" and "// clang-format on".
CLANG_FORMAT ?= clang-format-14

format:
	git ls-files '*.h' '*.cpp' | xargs $(CLANG_FORMAT) -i

format-check:
	git ls-files '*.h' '*.cpp' | xargs $(CLANG_FORMAT) --dry-run --Werror

# Portable builds. `make test` needs GoogleTest (`make run` does not): root
# gets it from Debian, anyone else a line naming the package.
.PHONY: need-gtest test-libcxx install dist check-dist

need-gtest:
	@tools/need_packages.sh gtest

# The whole suite built by clang against libc++, the C++ library macOS uses;
# GoogleTest is built from Debian's source package with the same library.
LIBCXX_BUILD ?= build/libcxx

test-libcxx:
	@tools/need_packages.sh clang libcxx gtest-source
	cmake -S . -B $(LIBCXX_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVIK_LTO=OFF \
		-DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/clang-libcxx.cmake -DTARVIK_GTEST_SOURCE=/usr/src/googletest
	cmake --build $(LIBCXX_BUILD) -j$(JOBS)
	cd $(LIBCXX_BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

# `make install PREFIX=DIR` puts the three programs in DIR/bin.
PREFIX ?= /usr/local

install:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS) --target tarvik tarvik-perft tarvik-bench
	cmake --install $(BUILD) --prefix $(PREFIX)

# Release archives for every target of tools/targets.tsv in dist/, with
# SHA256SUMS (tools/dist.sh); check-dist then checks each archive's programs
# under the target's emulator (tools/check_dist.sh), and builds the archives
# again in a clone elsewhere, which must give the same bytes
# (tools/check_reproducible.sh). docs/RELEASING.md has the details.
dist:
	JOBS=$(JOBS) tools/dist.sh

check-dist: dist
	tools/check_dist.sh
	JOBS=$(JOBS) tools/check_reproducible.sh dist

# The Debian package of every target in tools/targets.tsv with a Debian
# architecture (the foreign ones cross-built) in dist/, added to SHA256SUMS.
# check-deb, as root, also lints them, installs the host's over an older
# build, uses, reinstalls and purges it, runs the others' programs under
# their targets' emulators (tools/check_deb.sh), and builds the packages
# again in a clone elsewhere, which must give the same bytes.
.PHONY: deb check-deb

deb:
	JOBS=$(JOBS) tools/deb.sh

check-deb: deb
	tools/check_deb.sh
	JOBS=$(JOBS) tools/check_reproducible.sh deb

# WebAssembly (Debian's emscripten): build/wasm/tarvik.js + tarvik.wasm, the
# engine under Node (`node build/wasm/tarvik.js` speaks UCI like tarvik), the
# Node programs tarvik-perft.js and tarvik-bench.js, and tarvik-worker.js, the
# engine as a Web Worker.
WASM_BUILD ?= build/wasm
.PHONY: wasm web test-web

wasm:
	@tools/need_packages.sh emscripten
	cmake -S . -B $(WASM_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF \
		-DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/emscripten.cmake
	cmake --build $(WASM_BUILD) -j$(JOBS)

# The play page (web/, its libraries pinned by web/package-lock.json) built
# around tarvik-worker.js into dist/web/; test-web runs npm test in web/: the
# type check (tsc), the page's logic and its controller under Node, then the
# scenarios in headless chromium (Debian's, driven by puppeteer-core) from a
# server on 127.0.0.1 and from file://, keeping screenshots in build/web-test/.
web: wasm
	@tools/need_packages.sh npm
	cd web && npm ci --no-audit --no-fund --loglevel=error
	node web/build.mjs $(WASM_BUILD)/tarvik-worker.js dist/web

test-web: web
	@tools/need_packages.sh chromium
	cd web && TARVIK_PAGE_DIR=../dist/web TARVIK_WEB_ARTEFACTS=../build/web-test npm test --silent
