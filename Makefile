# make       installs what is missing, builds dist/ (the release in dist/release) and shows the functions working
# make test  builds and runs every test, natively, under Wine and with sanitizers, through CTest
# make check the same but the Octave of Debian's other releases (no root file systems made)
# make bench measures precision and cost (see docs/precision.md)

.PHONY: all deps build demo check test bench clean

all: build demo

deps:
	@sh cmake/deps.sh

build: deps
	cmake --preset linux
	cmake --build --preset linux
	cmake --preset windows
	cmake --build --preset windows
	cmake -P release/release.cmake

demo: build
	@sh demo/demo.sh
	@echo
	@echo "GNU Octave, dist/octave:"
	@octave-cli --norc --no-history demo/demo.m

check: build
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset linux -LE octave-roots
	ctest --preset windows
	ctest --preset sanitize

test: check
	ctest --preset linux -L octave-roots

bench: build
	@sh bench/run.sh

clean:
	rm -rf build dist
