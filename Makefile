# The two set-up commands: `make run` builds the Release engine and starts it;
# `make test` builds everything and runs every test.
BUILD ?= build/release
JOBS ?= 2

.PHONY: run test build clean

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

run:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS) --target tarvik
	./$(BUILD)/tarvik

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf build
