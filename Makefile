# The two commands of the README: `make run` (the main job) and `make test` (every test).
# Each installs the Debian packages it needs when they are missing, configures and builds.

PACKAGES := cmake ninja-build g++ gcc-multilib g++-multilib libgtest-dev libgmock-dev \
            nlohmann-json3-dev libfmt-dev libcli11-dev qemu-system-x86 clang libclang-rt-14-dev \
            libbenchmark-dev libstb-dev
ZARN := build/host/tools/zarn/zarn

.PHONY: run test deps host ia32 asan bench clean

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

# Formatting benchmark: release build, print engine against glibc vsnprintf and stb_sprintf.
bench: deps
	cmake --preset host-release >/dev/null
	cmake --build --preset host-release --target zarn_print_bench
	build/host-release/bench/zarn_print_bench

run: host
	$(ZARN) boot

test: host ia32
	ctest --preset host

clean:
	rm -rf build
