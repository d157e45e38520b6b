# make        install what is missing, configure and build build/importador
# make test   the same, then run every test
# make demo   the same, then a real import against the substitute service
# make bench  the same, then the import benchmark
# make windows  build-windows/importador.exe and importador-windows.zip
BUILD ?= build
WINDOWS_BUILD ?= build-windows
JOBS  ?= $(shell nproc)

.PHONY: all deps configure test demo bench clean windows

all: configure
	cmake --build $(BUILD) -j$(JOBS)

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

test: all
	ctest --test-dir $(BUILD) --output-on-failure --timeout 600

demo: all
	./tools/demo.sh $(BUILD)

bench: all
	./tools/bench.sh $(BUILD)

windows: deps
	@cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target importador importador_zip

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
