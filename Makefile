# make        install the demo group, configure and build build/importador and
#             build/tools/quintara-service (the program and the substitute service)
# make demo   the same, then a real import against the substitute service,
#             kept in build/demo/
# make test   install the test group (Wine and mingw-w64 included), build
#             everything, then run every test
# make bench  the test group's build, then the import benchmark
# make sanitize  every test again, built with ASan and UBSan in build-sanitize/;
#                then the sync tests built with ThreadSanitizer in build-tsan/
# make fuzz      each fuzz target for FUZZ_SECONDS under libFuzzer, in build-fuzz/
# make windows   install the cross toolchains, then build
#                build-windows/{x64,x86}/importador.exe and importador-windows.zip
# Every target configures the tree it uses with IMPORTADOR_TESTS set, so that
# `make test` after `make` builds the tests and `make` after `make test` does
# not need their packages.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
JOBS  ?= $(shell nproc)
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD     ?= build-tsan
FUZZ_BUILD     ?= build-fuzz
FUZZ_SECONDS   ?= 60
# Which tests `make sanitize` runs (a ctest -R pattern); empty runs them all
# but the Windows build's, which runs under Wine and is not instrumented.
SANITIZE_TESTS ?=

.PHONY: all deps deps-demo deps-windows configure configure-demo test demo bench sanitize sanitize-threads fuzz windows clean

all: configure-demo
	cmake --build $(BUILD) -j$(JOBS) --target importador quintara-service

deps-demo:
	@./scripts/install-deps.sh demo

deps:
	@./scripts/install-deps.sh test

deps-windows:
	@./scripts/install-deps.sh windows

configure-demo: deps-demo
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMPORTADOR_TESTS=OFF >/dev/null

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMPORTADOR_TESTS=ON >/dev/null

test: configure
	cmake --build $(BUILD) -j$(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure --timeout 600

demo: all
	./tools/demo.sh $(BUILD)

bench: configure
	cmake --build $(BUILD) -j$(JOBS) --target importador page-bench import-bench
	./tools/bench.sh $(BUILD)

# intercept_tls_get_addr=0: the sanitizer's own record of a thread's dynamic
# TLS goes wrong for the database client library's threads, and the leak
# check's tracer crashed reading it (after every test had passed) whenever one
# of those threads was still alive at the check. Without the record the blocks
# are still found through glibc's thread vector, as any heap block is.
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMPORTADOR_TESTS=ON -DIMPORTADOR_SANITIZE=ON >/dev/null
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure --timeout 900 -E '^(windows|wine)_' \
	  $(if $(SANITIZE_TESTS),-R '$(SANITIZE_TESTS)')
	$(MAKE) --no-print-directory sanitize-threads

# The run's two threads under ThreadSanitizer, in a tree of its own (it
# excludes ASan): the sync tests, whole runs, both write paths and fetching
# ahead, in one process. detect_deadlocks=0: the embedded engine holds more
# locks at once than the lock-order detector can track (64), and its check
# aborts the process inside the engine; our code never holds two locks.
# Data races are reported, the engine's included, and fail the run.
sanitize-threads: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMPORTADOR_TESTS=ON -DIMPORTADOR_SANITIZE_THREADS=ON >/dev/null
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target sync_tests
	TSAN_OPTIONS=detect_deadlocks=0:halt_on_error=1 \
	$(TSAN_BUILD)/tests/sync/sync_tests

fuzz:
	@./scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMPORTADOR_TESTS=ON -DIMPORTADOR_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_page_body fuzz_request_file fuzz_number_rules fuzz_sql_texts
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# One build tree for each architecture of the shop's client library; each
# keeps its exe's debug information beside it (importador.exe.debug).
windows: deps-windows
	@cmake -S . -B $(WINDOWS_BUILD)/x64 -DCMAKE_BUILD_TYPE=Release -DIMPORTADOR_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
	cmake --build $(WINDOWS_BUILD)/x64 -j$(JOBS) --target importador
	@cmake -S . -B $(WINDOWS_BUILD)/x86 -DCMAKE_BUILD_TYPE=Release -DIMPORTADOR_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake >/dev/null
	cmake --build $(WINDOWS_BUILD)/x86 -j$(JOBS) --target importador
	cmake -DX64=$(WINDOWS_BUILD)/x64/importador.exe -DX86=$(WINDOWS_BUILD)/x86/importador.exe \
	  -DREADME=app/win32/LEIA-ME.txt -DOUTPUT=$(WINDOWS_BUILD)/importador-windows.zip -P app/win32/pack.cmake

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
