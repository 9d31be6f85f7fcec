# The two commands a user types: `make run` and `make test`. Both install what is missing first.
BUILD := $(CURDIR)/build
DEMO := $(CURDIR)/demo
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_boardset fuzz_imagefile fuzz_bitmap

.PHONY: all deps build demo run test test-asan fuzz bench format clean

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

# Each fuzz target runs FUZZ_SECONDS seconds on its kept corpus and the demo tool's seeds.
fuzz: deps
	@cmake -S . -B $(CURDIR)/build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DKRELLON_FUZZ=ON >/dev/null
	@cmake --build $(CURDIR)/build-fuzz
	@$(CURDIR)/build-fuzz/krellon-demo --seeds $(CURDIR)/build-fuzz/seeds
	@set -e; for t in $(FUZZ_TARGETS); do \
	  seeds=$$(echo $$t | sed 's/fuzz_//'); \
	  mkdir -p $(CURDIR)/build-fuzz/corpus/$$t; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  $(CURDIR)/build-fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(CURDIR)/build-fuzz/$$t- \
	    $(CURDIR)/build-fuzz/corpus/$$t $(CURDIR)/build-fuzz/seeds/$$seeds \
	    $(CURDIR)/fuzz/corpus/$$t 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' ; \
	done

bench: deps
	@cmake -S . -B $(CURDIR)/build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(CURDIR)/build-release
	cd $(CURDIR)/build-release && QT_QPA_PLATFORM=offscreen ./bench/krellon_bench

format:
	@find src tests tools fuzz bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(CURDIR)/build-asan $(CURDIR)/build-fuzz $(CURDIR)/build-release
