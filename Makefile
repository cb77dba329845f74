# The two commands of the README: `make run` (the main job) and `make test` (every test).
# Each installs the Debian packages it needs when they are missing, configures and builds.

PACKAGES := cmake ninja-build g++ gcc-multilib g++-multilib libgtest-dev libgmock-dev \
            nlohmann-json3-dev libfmt-dev libcli11-dev qemu-system-x86 clang libclang-rt-14-dev \
            libbenchmark-dev libstb-dev python3
ZARN := build/host/tools/zarn/zarn

.PHONY: run test deps host ia32 asan bench size stack figures-ia32 qemu-figures clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:" $$missing; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing Debian packages. Run:"; echo "  sudo apt-get install -y" $$missing; exit 1; \
	  fi; \
	fi

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host

ia32: deps
	cmake --preset ia32 >/dev/null
	cmake --build --preset ia32

asan: deps
	cmake --preset host-asan >/dev/null
	cmake --build --preset host-asan
	ctest --preset host-asan

# libFuzzer targets (clang, ASan, UBSan): `fuzz-check` runs each for a few seconds from its seeds (part of
# `make test`), `fuzz` runs each for FUZZ_TIME seconds (default 600) growing fuzz/corpus-run/ (fuzz/README.md).
.PHONY: fuzz fuzz-build fuzz-check
fuzz-build: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz

fuzz-check: fuzz-build
	ctest --preset fuzz

fuzz: fuzz-build
	fuzz/run.sh

# Formatting benchmark: release build, print engine against glibc vsnprintf and stb_sprintf.
bench: deps
	cmake --preset host-release >/dev/null
	cmake --build --preset host-release --target zarn_print_bench
	build/host-release/bench/zarn_print_bench

# Flash and stack figures of the IA32 images, built as the ia32 preset without and with link-time
# optimisation in build/figures (see figures/README.md).
FIGURE_BUILDS := build/figures/ia32 build/figures/ia32-lto

figures-ia32: deps
	cmake --preset ia32 -B build/figures/ia32 -DZARN_IA32_LTO=OFF >/dev/null
	cmake --build build/figures/ia32
	cmake --preset ia32 -B build/figures/ia32-lto -DZARN_IA32_LTO=ON >/dev/null
	cmake --build build/figures/ia32-lto

size: figures-ia32
	python3 figures/size.py $(FIGURE_BUILDS)

stack: figures-ia32
	python3 figures/stack.py $(FIGURE_BUILDS)

# IA32 figures measured on the emulated PC: each image's flash bytes and its peak stack use.
qemu-figures: host ia32
	$(ZARN) qemu --figures

# The main job needs only the tool and the two images, not the tests.
run: deps
	cmake --preset host >/dev/null
	cmake --build --preset host --target zarn Dramatlas Quilkeep
	$(ZARN) boot

test: host ia32
	ctest --preset host
	$(MAKE) --no-print-directory asan fuzz-check

clean:
	rm -rf build
