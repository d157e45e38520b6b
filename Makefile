# make        install what is missing, configure and build build/importador
# make test   the same, then run every test
# make demo   the same, then a real import against the substitute service
# make bench  the same, then the import benchmark
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps configure test demo bench clean

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

clean:
	rm -rf $(BUILD)
