# Twinfold: `make` builds, `make run` plays, `make test` runs every test headless.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build game run test screenshots bench clean

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

# Current pictures of the title, a level in play and a shift in progress for
# the README, taken from the real game by the play tests that reach them.
screenshots: all
	mkdir -p docs
	TWINFOLD_SCREENSHOTS=$(CURDIR)/docs ./scripts/run-tests.sh $(BUILD) $(JOBS) \
	  -R '^(Title\.|FirstLevel\.Intro|Shift\.Foreground)'

bench: build
	./$(BUILD)/twinfold_bench

clean:
	rm -rf $(BUILD)
