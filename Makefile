# Two commands do everything: `make run` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: all setup configure build run test editor-demo bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	$(BUILD)/src/workbench/tarko

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

editor-demo: configure
	@cmake --build $(BUILD) --target editor-demo
	$(BUILD)/src/editor/editor-demo

bench: build
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
