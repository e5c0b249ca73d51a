# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test run bench package vsix windows clean

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
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/gui/app/korvath ]; then \
	  cd examples/sample && exec ../../$(BUILD)/gui/app/korvath; \
	else \
	  echo "No display: printing the call tree of examples/sample/main.m with korvath-tree."; \
	  ./$(BUILD)/cli/korvath-tree -C examples/sample main; \
	fi

# Measurements, never part of `make test`: a Release build of its own, then a
# Markdown table on standard output, everything else on standard error (see
# docs/performance.md).
BENCH_BUILD ?= build-bench

bench:
	@KORVATH_DEPS=bench scripts/install-deps.sh >&2
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release >&2
	@cmake --build $(BENCH_BUILD) -j$(JOBS) --target korvath-tree korvath-genproject korvath-bench >&2
	@$(BENCH_BUILD)/bench/korvath-bench all $(BENCH_BUILD)

# The Debian package: a Release build of its own in build-package/, then
# cpack; the last line printed is the path of the .deb.
PACKAGE_BUILD ?= build-package

package:
	@KORVATH_DEPS=package scripts/install-deps.sh
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVATH_BUILD_TESTS=OFF
	cmake --build $(PACKAGE_BUILD) -j$(JOBS)
	rm -f $(PACKAGE_BUILD)/*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@realpath $(PACKAGE_BUILD)/*.deb

# The VS Code extension: its npm packages as the lockfile pins them, then
# editors/vscode/korvath-<version>.vsix (the server is not in it: the
# extension starts korvath-lsp from PATH or korvath.serverPath).
VSCODE_DIR = editors/vscode

vsix:
	cd $(VSCODE_DIR) && npm ci --no-audit --no-fund
	cd $(VSCODE_DIR) && rm -f korvath-*.vsix && npx vsce package --skip-license --allow-missing-repository
	@realpath $(VSCODE_DIR)/korvath-*.vsix

# Windows: korvath-tree.exe and the Qt-free tests cross-built with mingw-w64
# in build-windows/, the tests run under Wine (with a prefix of their own in
# that folder), then the trees of the Windows build compared with those of
# this machine's build.
WINDOWS_BUILD ?= build-windows
WINE ?= /usr/lib/wine/wine64
WINESERVER ?= /usr/lib/wine/wineserver
WINE_ENV = WINEDEBUG=-all WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wine-prefix

windows: build
	@KORVATH_DEPS=windows scripts/install-deps.sh
	mkdir -p $(WINDOWS_BUILD)
	@# The first start makes the prefix, here rather than inside a test's time limit.
	$(WINE_ENV) $(WINE) cmd /c exit
	@# Then one server, with Wine's own background programs, for the whole build
	@# and test run: a server quitting just as the next test program starts
	@# fails it. Their output goes nowhere, so no pipe waits for them to end.
	$(WINE_ENV) $(WINESERVER) -k; $(WINE_ENV) $(WINESERVER) -w; $(WINE_ENV) $(WINESERVER) -p 300
	$(WINE_ENV) $(WINE) cmd /c exit >/dev/null 2>&1 </dev/null
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchains/mingw-w64-x86_64.cmake
	$(WINE_ENV) cmake --build $(WINDOWS_BUILD) -j$(JOBS)
	@# A test program Wine fails to start (no output, a hundredth of a second)
	@# gets one more try; a test that fails for itself fails both.
	cd $(WINDOWS_BUILD) && $(WINE_ENV) ctest --output-on-failure -j$(JOBS) --repeat until-pass:2
	$(WINE_ENV) WINE=$(WINE) scripts/windows-check $(WINDOWS_BUILD)/cli/korvath-tree.exe \
	  $(BUILD)/cli/korvath-tree
	$(WINE_ENV) $(WINESERVER) -k

clean:
	rm -rf $(BUILD)
