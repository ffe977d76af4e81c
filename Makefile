# Two commands do everything: `make run` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=Release
# The second build of `make test`: the same tests under AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer.
ASAN_BUILD ?= $(BUILD)-asan
# `make fuzz`: libFuzzer targets built with clang 14 (the version of Debian's
# libFuzzer package), each run this many seconds.
FUZZ_BUILD ?= $(BUILD)-fuzz
FUZZ_SECONDS ?= 60
# `make package`: the programs built once more with Debian's build flags.
DEB_BUILD ?= $(BUILD)-deb
PREFIX ?= /usr/local
# The browser edition: the wasm module and the site a school can copy to
# any static web server. The module is built here, by `make web` and by the
# ctest test of the module alike, so `make test` builds it once.
WEB_BUILD ?= build-web

.PHONY: all setup configure build run test test-sanitized test-web web web-run bench-web install package fuzz editor-demo bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DTARKO_WEB_BUILD=$(abspath $(WEB_BUILD)) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	$(BUILD)/src/workbench/tarko

test: build
	cd $(BUILD) && ctest --output-on-failure -j2
	@$(MAKE) --no-print-directory test-web
	@$(MAKE) --no-print-directory test-sanitized

web: setup
	@bash web/build-wasm.sh $(abspath $(WEB_BUILD))
	@node web/build.mjs $(WEB_BUILD)/site $(WEB_BUILD)

web-run: web
	@node web/serve.mjs $(WEB_BUILD)/site --port 8080

# The page in headless Chromium (and Firefox ESR), driven through its accessible names.
test-web: web
	cd web && node_modules/.bin/tsc --noEmit -p .
	cd web && TARKO_SITE=$(abspath $(WEB_BUILD))/site node --test --test-concurrency=1 tests/

test-sanitized: setup
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DTARKO_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j2

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: setup
	@bash packaging/build-deb.sh $(DEB_BUILD)

fuzz: setup
	@bash scripts/setup.sh --fuzz
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DTARKO_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzzers
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

editor-demo: configure
	@cmake --build $(BUILD) --target editor-demo
	$(BUILD)/src/editor/editor-demo

bench: build
	@bash bench/run.sh $(BUILD)
	@$(MAKE) --no-print-directory bench-web

# The browser edition's speed in headless Chromium, as ratios to tarko-run.
bench-web: web
	@node web/bench.mjs $(WEB_BUILD)/site $(BUILD)/src/cli/tarko-run

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(DEB_BUILD) $(WEB_BUILD)
