# Makefile -- one-command set-up: `make run` plays the show, `make test` runs every test.
BUILD     ?= build
ASAN      ?= build-asan
WIN64     ?= build-win64
WIN32     ?= build-win32
WEB       ?= build-web
WEB_PORT  ?= 8016
FUZZ      ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS      ?= $(shell nproc)
ARGS      ?=
CMAKE_ARGS ?=
PREFIX    ?= /usr/local
DEPS      = run
WERROR    =
TESTS     = -DKERV_BUILD_TESTS=AUTO

# The tests (and the measurements) need the testing packages too; the tests treat warnings as errors.
test test-plain test-asan test-windows fuzz quality term-stills: DEPS = test
test test-plain test-asan: WERROR = -DKERV_WERROR=ON
test test-plain test-asan: TESTS = -DKERV_BUILD_TESTS=ON

.PHONY: all deps configure build run install test test-plain test-asan test-windows windows web web-serve fuzz render quality term-stills clean

all: build

deps:
	@sh tools/deps.sh $(DEPS)

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) $(TESTS) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The show finds data/ in the working directory, else beside itself, else in ../share/kerv16.
run: build
	cd $(BUILD) && ./kerv16 $(ARGS)

# bin/kerv16 and share/kerv16/data under PREFIX (make install PREFIX=~/.local needs no root).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

test: test-plain test-asan test-windows

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer, on the plain build's data.
test-asan: build
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKERV_SANITIZE=ON -DKERV_BUILD_DATA=OFF $(WERROR) \
	      -DKERV_DATA_ROOT=$(abspath $(BUILD)) $(TESTS) $(CMAKE_ARGS)
	cmake --build $(ASAN) -j$(JOBS) --target kerv16_tests
	cd $(ASAN) && ctest --output-on-failure -j$(JOBS) -L unit

# Windows builds: cross-compiled with mingw-w64, on the data and the font the Linux build's tools made.
# One toolchain file for both: KERV_WINDOWS_ARCH picks x86_64 (64-bit) or i686 (32-bit).
WINDOWS_CMAKE = -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw.cmake) -DCMAKE_BUILD_TYPE=Release \
                -DKERV_HOST_BUILD=$(abspath $(BUILD)) -DKERV_DATA_ROOT=$(abspath $(BUILD)) $(CMAKE_ARGS)
# windows_configure FOLDER ARCH
define windows_configure
	cmake -S . -B $(1) -DKERV_WINDOWS_ARCH=$(2) $(WINDOWS_CMAKE)
endef

# The unit tests and the show end to end under Wine; a machine without Wine says so and skips them.
# The 32-bit build is built too (its tests are the 64-bit build's).
test-windows: build
	@sh tools/deps.sh windows
	$(call windows_configure,$(WIN64),x86_64)
	cmake --build $(WIN64) -j$(JOBS) --target kerv16 kerv16_tests
	$(call windows_configure,$(WIN32),i686)
	cmake --build $(WIN32) -j$(JOBS) --target kerv16
	@if command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ]; then \
	  cd $(WIN64) && ctest --output-on-failure -j$(JOBS); \
	else echo "wine64 is not installed: the Windows tests are skipped"; fi

# dist/kerv16-windows-x64.zip and dist/kerv16-windows-x86.zip: kerv16.exe, data/ and README.txt each.
windows: build
	@sh tools/deps.sh windows
	$(call windows_configure,$(WIN64),x86_64)
	cmake --build $(WIN64) -j$(JOBS) --target kerv16
	$(call windows_configure,$(WIN32),i686)
	cmake --build $(WIN32) -j$(JOBS) --target kerv16
	sh tools/windows/imports.sh x86_64-w64-mingw32-objdump $(WIN64)/kerv16.exe
	sh tools/windows/imports.sh i686-w64-mingw32-objdump $(WIN32)/kerv16.exe
	sh tools/windows/package.sh $(WIN64)/kerv16.exe $(BUILD)/data dist/kerv16-windows-x64.zip
	sh tools/windows/package.sh $(WIN32)/kerv16.exe $(BUILD)/data dist/kerv16-windows-x86.zip

# dist/web/: the page (index.html, kerv16.js, kerv16.wasm and kerv16.data, the data package with the
# soundtrack), built with Debian's emscripten on the data and the font the Linux build's tools made.
# Debian's emscripten runs its tools under Node with Debian's Node modules, which another Node finds on NODE_PATH.
WEB_ENV = NODE_PATH=/usr/share/nodejs$${NODE_PATH:+:$$NODE_PATH}
web: build
	@sh tools/deps.sh web
	@command -v emcmake >/dev/null || { echo "make web needs Debian's emscripten package (sh tools/deps.sh web could not install it)"; exit 1; }
	$(WEB_ENV) emcmake cmake -S . -B $(WEB) -DCMAKE_BUILD_TYPE=Release -DKERV_HOST_BUILD=$(abspath $(BUILD)) $(CMAKE_ARGS)
	$(WEB_ENV) cmake --build $(WEB) -j$(JOBS) --target kerv16
	rm -rf dist/web && mkdir -p dist/web
	cp $(WEB)/index.html $(WEB)/kerv16.js $(WEB)/kerv16.wasm $(WEB)/kerv16.data dist/web/
	@echo "dist/web: $$(ls dist/web | tr '\n' ' ')"

# Serves dist/web on this machine only (WEB_PORT=N for another port); Ctrl+C stops it.
web-serve: web
	python3 tools/web/serve.py dist/web $(WEB_PORT)

# Scores the cell conversion against a naive one, chafa and img2txt on a set of test pictures.
quality: build
	sh tools/quality/run.sh $(BUILD)

# Screenshots of the show in xterm under Xvfb (160 x 50 and 80 x 24, DejaVu) at a few demo times, into docs/term.
term-stills: build
	bash tools/termshot/stills.sh $(BUILD) docs/term

# Every libFuzzer target for FUZZ_SECONDS each (clang only; skipped with a note without it).
# FUZZ_TARGETS="gml sync" runs only those.
fuzz: build
	JOBS=$(JOBS) sh fuzz/run.sh $(abspath $(BUILD)) $(abspath $(FUZZ)) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ) $(WIN64) $(WIN32) $(WEB) dist
