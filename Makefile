# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test run bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The desktop program on the example project; without a display, its tree
# printed by the command-line tool instead.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/shell/gui/korvath ]; then \
	  cd examples/sample && exec ../../$(BUILD)/shell/gui/korvath; \
	else \
	  echo "No display: printing the call tree of examples/sample/main.m with korvath-tree."; \
	  ./$(BUILD)/cli/korvath-tree -C examples/sample main; \
	fi

clean:
	rm -rf $(BUILD)
