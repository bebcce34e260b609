# Twinfold: `make` builds, `make run` plays, `make test` runs every test headless.
# `make install PREFIX=... DESTDIR=...` installs, `make package` makes a .deb.
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build game run tiled test screenshots solve bench install package clean

all: build game

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

# The game's data: levels, pictures, music and sounds, all made from data/;
# and the desktop icon, cut from the hero's sprite sheet.
game: build
	./scripts/make-game.sh $(BUILD)
	./scripts/make-icons.sh $(BUILD)

run: all
	cd $(BUILD)/game && ../twinfold

# Opens a level in Tiled with the level format, e.g. make tiled LEVEL=data/levels/tutorial3.lvl
LEVEL ?= data/levels/tutorial1.lvl
tiled: all
	./scripts/tiled.sh $(BUILD) $(LEVEL)

test: all
	./scripts/run-tests.sh $(BUILD) $(JOBS)

# Debian's layout for games under PREFIX (DESTDIR is put in front of it).
install: all
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

package: all
	cmake --build $(BUILD) --target package

# Solves every shipped level and the solver's test levels (tests/levels) again
# and prints each one's par and time. Replays go to $(BUILD)/solve/; with
# WRITE=1 the shipped levels' replays are written over data/levels/*.replay.
solve: build
	./scripts/solve-levels.sh $(BUILD) $(if $(WRITE),write,)

# Current pictures of the title, a level in play and a shift in progress for
# the README, taken from the real game by the play tests that reach them.
screenshots: all
	mkdir -p docs
	TWINFOLD_SCREENSHOTS=$(CURDIR)/docs ./scripts/run-tests.sh $(BUILD) $(JOBS) \
	  -R '^(Title\.|FirstLevel\.Intro|Shift\.Foreground)'

# Benchmarks and whole-program timings; writes docs/performance.md (minutes).
bench: all
	./scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
