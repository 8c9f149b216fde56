# Two commands for a newcomer: `make run` and `make test`. Both install what
# is missing (Debian packages), configure and build first.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test bench screenshot clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "There is no display here, so the window cannot open: start it under a virtual display with 'xvfb-run -a ./$(BUILD)/tavsms'."; \
	  exit 1; \
	fi
	@./$(BUILD)/tavsms

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

bench: build
	@bash bench/run-all.sh $(BUILD)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD) docs/main-window.png

clean:
	@rm -rf $(BUILD)
