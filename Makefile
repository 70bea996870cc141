# Two commands do everything on a fresh Debian 12 machine:
#   make run   installs what is missing, builds and starts kestrune
#   make test  installs what is missing, builds and runs every test through CTest
JOBS ?= $(shell nproc)

.PHONY: run test test-asan deps build bench check-format

deps:
	@./scripts/install-deps.sh

# Quick, before any build: every C and C++ file is formatted, and Qt headers
# stay in the Qt half of the platform, also through our own includes.
check-format: deps
	@./scripts/check-format.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	./build/default/app/kestrune

test: check-format build
	ctest --preset default -j $(JOBS)
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The micro-benchmarks, then the whole program beside xoscope (about a minute).
bench: build
	./build/default/bench/kestrune_bench
	./bench/whole/whole_bench.sh ./build/default/app/kestrune
