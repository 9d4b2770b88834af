# The README's commands. Each one configures and builds what it needs first.
PROGRAM ?= equation
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps programs build run test sanitize bench fuzz install uninstall package package-test windows windows-package windows-test web web-test clean

all: build

# Installs the Debian packages the build and the tests need when run as
# root; otherwise names the missing ones and stops.
deps:
	@bash .ci/deps test

# The programs, their display modules, the message library and the man
# pages: what running and installing need, and no test.
programs:
	@bash .ci/deps run
	@cmake --preset default >/dev/null
	@cmake --build build -j $(JOBS) --target programs

# Everything, the tests too.
build: deps
	@cmake --preset default >/dev/null
	@cmake --build build -j $(JOBS)

run: programs
	@exec build/$(PROGRAM)

test: build
	@ctest --test-dir build --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# The libFuzzer targets (clang), each for FUZZ_SECONDS seconds.
FUZZ_SECONDS ?= 60
fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@bash tests/fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

bench:
	@bash .ci/deps bench
	@cmake --preset bench >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# Installs the programs, their display modules, man pages, desktop entries
# and icons under PREFIX (DESTDIR is honoured); uninstall removes them again.
PREFIX ?= /usr/local
install:
	@bash .ci/deps run --check
	@cmake --preset default >/dev/null
	@cmake --build build -j $(JOBS) --target programs
	@cmake --install build --prefix $(PREFIX)

# Refuses when PREFIX or DESTDIR is not the installation's; keeps a file
# that changed since.
uninstall:
	@cd build && cmake -DPREFIX=$(PREFIX) -P ../cmake/Uninstall.cmake

# The Debian packages tessel and tessel-window in build-package, and their
# check: lintian, install with dpkg, a session, man, the desktop entries,
# removal (as root; this changes the machine it runs on).
# Reproducible: every time stamp is the last commit's (SOURCE_DATE_EPOCH),
# so two builds of one commit give the same bytes.
package:
	@bash .ci/deps package
	@export SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct 2>/dev/null || echo 1); \
	cmake --preset package >/dev/null && \
	cmake --build build-package -j $(JOBS) && \
	cd build-package && rm -f *.deb && cpack -G DEB >/dev/null && ls -1 $$PWD/*.deb

package-test: package build
	@bash tests/package/run.sh build-package build

# The Windows build: equation.exe and polymul.exe cross-built with MinGW-w64,
# their package (a zip and an NSIS installer), and their tests under wine64.
windows:
	@bash .ci/deps windows
	@cmake --preset windows >/dev/null
	@cmake --build build-windows -j $(JOBS) --target programs

windows-package: windows
	@cmake --build build-windows -j $(JOBS) --target windows_package

# The cross-built tests too, then all of them under wine64.
windows-test: windows-package build
	@cmake --build build-windows -j $(JOBS)
	@bash tests/windows/run.sh build-windows build

# The web: both programs as WebAssembly and the static site that runs them
# (build-web/site, served by any static file server), and its tests: the
# stream end-to-end sessions under node, and the page in headless Chromium.
web:
	@bash .ci/deps web
	@NODE_PATH=/usr/share/nodejs cmake --preset web >/dev/null
	@NODE_PATH=/usr/share/nodejs cmake --build build-web -j $(JOBS)
	@echo "The site is in build-web/site (serve it, e.g.: python3 -m http.server -d build-web/site)"

web-test: web build
	@bash tests/web/run.sh build-web build

clean:
	rm -rf build build-sanitize build-bench build-fuzz build-windows build-package build-web
