# Thin wrapper around CMake + Ninja.
#   make run      build and play the bundled game (in a window when there is a display)
#   make test     build and run every test (SANITIZE=1: AddressSanitizer + UBSan build)
#   make bench    build and run the benchmarks (Release)
#   make fuzz     build the libFuzzer targets with clang and run each for FUZZ_SECONDS
#   make install  build (Release) and install under PREFIX (/usr/local); DESTDIR is honoured
#   make format   clang-format the sources

SHELL        := /bin/bash
BUILD_ROOT   ?= build
FUZZ_SECONDS ?= 20
PREFIX       ?= /usr/local
GENERATOR    := -G Ninja

ifeq ($(SANITIZE),1)
  BUILD_DIR  := $(BUILD_ROOT)/asan
  CMAKE_ARGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_SANITIZE=ON -DORV_BENCH=OFF
else
  BUILD_DIR  := $(BUILD_ROOT)/release
  CMAKE_ARGS := -DCMAKE_BUILD_TYPE=Release
endif
FUZZ_DIR := $(BUILD_ROOT)/fuzz

.PHONY: all build test bench fuzz run deps install format clean

all: build

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) $(GENERATOR) $(CMAKE_ARGS)

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j2

# bench_window opens real windows: it runs under its own Xvfb, and is
# skipped, saying so, where there is none. Then the measurements of the
# player in a window, with music and sound.
bench: build
	@set -e; for b in $(BUILD_DIR)/bench/bench_*; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; \
	  if [ "$${b##*/}" != bench_window ]; then \
	    "$$b" --benchmark_counters_tabular=true; \
	  elif command -v xvfb-run >/dev/null; then \
	    SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
	      "$$b" --benchmark_counters_tabular=true; \
	  else echo "skipped: it needs Xvfb (scripts/install-deps.sh installs it)"; fi; done
	scripts/measure-window.py $(BUILD_DIR)

$(FUZZ_DIR)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_FUZZ=ON

fuzz: $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR)
	@set -e; for f in $(FUZZ_DIR)/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; name=$$(basename $$f); \
	  corpus=$(FUZZ_DIR)/corpus/$$name; mkdir -p $$corpus; \
	  seeds=fuzz/seeds/$${name#fuzz_}; [ -d $$seeds ] || seeds=; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
	        -print_final_stats=1 $$corpus $$seeds 2>&1 | tail -n 12; \
	  test $${PIPESTATUS[0]} -eq 0; done

deps:
	@if [ "$$(id -u)" -eq 0 ]; then scripts/install-deps.sh; fi

# A window when there is a display; else headless through the playthrough
# script, printing each command and leaving the last scene as a picture.
run: deps build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD_DIR)/orvanta3 $(BUILD_DIR)/demo.vp3; \
	else \
	  $(BUILD_DIR)/orvanta3 --headless --trace - --input data/demo/playthrough.txt \
	    --screenshot $(BUILD_DIR)/demo-end.png $(BUILD_DIR)/demo.vp3 && \
	  echo "No display: played headless; the last scene is in $(BUILD_DIR)/demo-end.png"; \
	fi

# Always the Release build. Installing for real (no DESTDIR, which packaging
# sets) also tells the desktop about the package type, so that a double-click
# on a .vp3 opens it.
install:
	$(MAKE) build SANITIZE=
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_ROOT)/release --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ]; then \
	  if command -v update-mime-database >/dev/null; then update-mime-database "$(PREFIX)/share/mime"; fi; \
	  if command -v update-desktop-database >/dev/null; then update-desktop-database "$(PREFIX)/share/applications"; fi; \
	fi

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_ROOT)
