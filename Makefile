# Entry point: `make test` and `make run` need nothing else on a fresh Debian machine.
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
BUILD := build
CMAKE_NATIVE := -DBRISALUNE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
CMAKE_TSAN := -DBRISALUNE_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
CMAKE_MINGW := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRISALUNE_DIST_DIR=$(CURDIR)/$(BUILD)/dist

.PHONY: deps build native tsan mingw test run bench clean dist

deps:
	@tools/deps.sh

native: deps
	@cmake -S . -B $(BUILD)/native $(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/native -j$(JOBS)

tsan: deps
	@cmake -S . -B $(BUILD)/tsan $(CMAKE_TSAN) >/dev/null
	@cmake --build $(BUILD)/tsan -j$(JOBS) --target concurrency_tests

mingw: deps
	@cmake -S . -B $(BUILD)/mingw $(CMAKE_MINGW) >/dev/null
	@cmake --build $(BUILD)/mingw -j$(JOBS)

build: native tsan mingw

# Runs every suite even when an earlier one fails, then prints each summary and fails if any did.
test: build
	@status=0; \
	echo "== native tests (AddressSanitizer + UndefinedBehaviorSanitizer)"; \
	(cd $(BUILD)/native && ctest --output-on-failure -j$(JOBS)) > $(BUILD)/native.log 2>&1 || status=1; \
	echo "== concurrency tests (ThreadSanitizer)"; \
	(cd $(BUILD)/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -L concurrency) > $(BUILD)/tsan.log 2>&1 || status=1; \
	echo "== Windows tests (MinGW build under Wine)"; \
	tools/wine-ctest.sh $(BUILD)/mingw > $(BUILD)/wine.log 2>&1 || status=1; \
	for log in native tsan wine; do \
	  echo; echo "---- $$log: $(BUILD)/$$log.log"; \
	  if grep -q "tests failed" $(BUILD)/$$log.log && ! grep -q " 0 tests failed" $(BUILD)/$$log.log; then \
	    sed -n '/The following tests FAILED/,$$p;/Failure\|ERROR\|WARNING: ThreadSanitizer/,+15p' $(BUILD)/$$log.log | head -120; \
	  fi; \
	  grep -E "tests passed|tests failed|No tests were found|Total Test time" $(BUILD)/$$log.log || tail -20 $(BUILD)/$$log.log; \
	done; \
	exit $$status

run: mingw
	@tools/run-demo.sh

# The release a Windows user unzips and runs, named after the project's version as the exe's
# version resource is.
VERSION = $(shell awk '/^project.Brisalune VERSION / {print $$3}' CMakeLists.txt)
dist: deps
	@cmake -S . -B $(BUILD)/mingw $(CMAKE_MINGW) >/dev/null
	@cmake --build $(BUILD)/mingw -j$(JOBS) --target dist
	@zip=$(BUILD)/dist/Brisalune-$(VERSION)-win64.zip; echo "$$zip: $$(stat -c %s $$zip) bytes"

bench: deps
	@cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DBRISALUNE_BENCH=ON -DBRISALUNE_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)/bench -j$(JOBS)
	@for b in $(BUILD)/bench/bench/*_bench; do $$b; done

clean:
	rm -rf $(BUILD)/native $(BUILD)/tsan $(BUILD)/mingw $(BUILD)/bench

# Figures only: refreshAll of 50 cities through the real engine, worker and WinInet against the
# stand-in, beside bare WinInet GETs of the same URLs; then the same refresh with the weather
# service working, refused and stalled, the second source taking over. Under Wine.
.PHONY: bench-http
bench-http: deps
	@cmake -S . -B $(BUILD)/mingw $(CMAKE_MINGW) >/dev/null
	@cmake --build $(BUILD)/mingw -j$(JOBS) --target http_bench source_bench
	@source tools/wine-env.sh; wine_prepare; status=0; \
	  for bench in http_bench source_bench; do \
	    bash tools/with-fake-service.sh "$$wine_loader" $(BUILD)/mingw/bench/win/$$bench.exe \
	      || status=1; \
	  done; \
	  wine_finish; exit $$status

# Figures only: the Add City dialog under Wine in a virtual X server: from a keystroke to the
# refilled list painted (countries; the largest country's largest province) and opening the
# largest country.
.PHONY: bench-ui
bench-ui: deps
	@cmake -S . -B $(BUILD)/mingw $(CMAKE_MINGW) >/dev/null
	@cmake --build $(BUILD)/mingw -j$(JOBS) --target ui_bench
	@xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'source tools/wine-env.sh; wine_prepare; \
	  "$$wine_loader" $(BUILD)/mingw/bench/win/ui_bench.exe; status=$$?; wine_finish; exit $$status'

# Figures only: the whole program under Wine in a virtual X server, beside a bare dialog built
# the same way: start to the first painted row, private memory over 10,000 refreshes against
# the stand-in, GDI, USER and kernel objects over repaints and dialog openings, and wake-ups
# while idle. FIGURES_ARGS passes options to tools/figures.py (see its --help).
.PHONY: figures
figures: deps
	@cmake -S . -B $(BUILD)/mingw $(CMAKE_MINGW) >/dev/null
	@cmake --build $(BUILD)/mingw -j$(JOBS) --target Brisalune e2e_driver figures_probe bare_dialog
	@xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'source tools/wine-env.sh; wine_prepare; \
	  python3 tools/figures.py --build $(BUILD)/mingw $(FIGURES_ARGS); status=$$?; wine_finish; \
	  exit $$status'
