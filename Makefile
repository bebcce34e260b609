# Twinfold: `make` builds, `make run` plays, `make test` runs every test headless.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build game run test bench clean

all: build game

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

# The game's data: levels, pictures, music and sounds, all made from data/.
game: build
	./scripts/make-game.sh $(BUILD)

run: all
	cd $(BUILD)/game && ../twinfold

test: all
	./scripts/run-tests.sh $(BUILD) $(JOBS)

# Benchmarks and whole-program timings; writes docs/performance.md (minutes).
bench: all
	./scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
