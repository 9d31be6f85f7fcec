# The two commands a user types: `make run` and `make test`. Both install what is missing first.
BUILD := $(CURDIR)/build
DEMO := $(CURDIR)/demo
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_boardset fuzz_imagefile fuzz_bitmap fuzz_journal fuzz_loaders fuzz_setjson

.PHONY: all deps build demo run test test-asan package package-check fuzz fuzz-build fuzz-corpus bench format clean \
	windows-toolchain windows test-windows windows-package windows-package-check bench-windows

all: build

deps:
	@tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)

# The demo working folder; files already there (a saved KrelEdit.bds, say) are kept.
demo: build
	@$(BUILD)/krellon-demo $(DEMO)

run: demo
	cd $(DEMO) && $(BUILD)/krellon-editor

test: demo
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

test-asan: deps
	@cmake -S . -B $(CURDIR)/build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKRELLON_SANITIZE=ON >/dev/null
	@cmake --build $(CURDIR)/build-asan
	cd $(CURDIR)/build-asan && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j2

# Windows x86-64: cross-built with MinGW-w64 against a Qt built once from Debian's own sources
# into a cache (tools/build-windows-qt.sh; half an hour the first time, seconds after), run
# under Wine.
KRELLON_CACHE ?= $(HOME)/.cache/krellon
export KRELLON_CACHE
WINDOWS_BUILD := $(CURDIR)/build-windows
WINDOWS_QT := $(KRELLON_CACHE)/qt-6.4.2-mingw

windows-toolchain: deps
	@tools/build-windows-qt.sh

windows: windows-toolchain
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(WINDOWS_QT)/qt/lib/cmake/Qt6/qt.toolchain.cmake \
	  -DKRELLON_LINUX_BUILD=$(BUILD) >/dev/null
	@cmake --build $(WINDOWS_BUILD)

# The suite under Wine; CTest runs every program through the toolchain's wine-run. The Linux
# build is there to compare krellon's pixels and bytes with.
test-windows: build windows
	tools/test-windows.sh $(WINDOWS_BUILD)

# build-windows/packages/: krellon-VERSION-windows-x64.zip and krellon-VERSION-setup.exe (NSIS).
windows-package: windows
	@tools/windows-package.sh $(WINDOWS_BUILD)

# Both under Wine in a prefix of its own: the zip's contents, a quiet install and uninstall per
# user and for all users. Where `make demo` has made the demo folder, the packaged programs also
# render its set and a double-click opens it.
windows-package-check: windows-package
	tools/check-windows-package.sh $(WINDOWS_BUILD) $(if $(wildcard $(DEMO)/Demo.bds),$(DEMO))

# The Windows programs' start under Wine against their floors (tools/bench-windows.sh).
bench-windows: windows
	@tools/install-deps.sh --gui-tools
	tools/bench-windows.sh $(WINDOWS_BUILD)

# The Debian package, from a release build of the programs alone.
PACKAGE_BUILD := $(CURDIR)/build-package
package: deps
	@cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRELLON_PACKAGE_ONLY=ON >/dev/null
	@cmake --build $(PACKAGE_BUILD)
	@rm -rf $(PACKAGE_BUILD)/packages
	cd $(PACKAGE_BUILD) && cpack
	@ls $(PACKAGE_BUILD)/packages/*.deb

package-check: package demo
	tools/check-package.sh $$(ls $(PACKAGE_BUILD)/packages/*.deb) $(DEMO)

fuzz-build: deps
	@cmake -S . -B $(CURDIR)/build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DKRELLON_FUZZ=ON >/dev/null
	@cmake --build $(CURDIR)/build-fuzz
	@$(CURDIR)/build-fuzz/krellon-demo --seeds $(CURDIR)/build-fuzz/seeds

# Each fuzz target runs FUZZ_SECONDS seconds on its kept corpus and the demo tool's seeds;
# what it finds new grows build-fuzz/corpus.
fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  seeds=$$(echo $$t | sed 's/fuzz_//'); \
	  mkdir -p $(CURDIR)/build-fuzz/corpus/$$t $(CURDIR)/build-fuzz/seeds/$$seeds; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  $(CURDIR)/build-fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(CURDIR)/build-fuzz/$$t- \
	    $(CURDIR)/build-fuzz/corpus/$$t $(CURDIR)/build-fuzz/seeds/$$seeds \
	    $(CURDIR)/fuzz/corpus/$$t 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' ; \
	done

# Minimises what the fuzz runs found, with the kept corpus, into the kept corpus under fuzz/,
# which `make test` replays.
fuzz-corpus: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  seeds=$$(echo $$t | sed 's/fuzz_//'); \
	  rm -rf $(CURDIR)/build-fuzz/merged/$$t; mkdir -p $(CURDIR)/build-fuzz/merged/$$t \
	    $(CURDIR)/build-fuzz/corpus/$$t $(CURDIR)/fuzz/corpus/$$t; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  $(CURDIR)/build-fuzz/$$t -merge=1 $(CURDIR)/build-fuzz/merged/$$t \
	    $(CURDIR)/fuzz/corpus/$$t $(CURDIR)/build-fuzz/seeds/$$seeds \
	    $(CURDIR)/build-fuzz/corpus/$$t 2>&1 | grep -E 'MERGE-OUTER: [0-9]+ new files' ; \
	  find $(CURDIR)/fuzz/corpus/$$t -type f ! -name .keep -delete; \
	  cp $(CURDIR)/build-fuzz/merged/$$t/* $(CURDIR)/fuzz/corpus/$$t/; \
	done

bench: deps
	@cmake -S . -B $(CURDIR)/build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(CURDIR)/build-release
	cd $(CURDIR)/build-release && QT_QPA_PLATFORM=offscreen ./bench/krellon_bench

format:
	@find src tests tools fuzz bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(CURDIR)/build-asan $(CURDIR)/build-fuzz $(CURDIR)/build-release
