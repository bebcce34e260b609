# Twinfold: `make` builds, `make run` plays, `make test` runs every test headless.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build game run test solve bench clean

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

# Solves every shipped level and the solver's test levels (tests/levels) again
# and prints each one's par and time. Replays go to $(BUILD)/solve/; with
# WRITE=1 the shipped levels' replays are written over data/levels/*.replay.
solve: build
	./scripts/solve-levels.sh $(BUILD) $(if $(WRITE),write,)

bench: build
	./$(BUILD)/twinfold_bench

clean:
	rm -rf $(BUILD)
