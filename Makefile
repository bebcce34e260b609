# Twinfold: `make` builds, `make run` plays, `make test` runs every test headless.
# `make install PREFIX=... DESTDIR=...` installs, `make package` makes a .deb.
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build game icons run tiled test-build test screenshots solve difficulty bench install package clean \
	fuzz fuzz-smoke asan-build test-asan soak test-tsan web web-build web-dist serve-web test-web

# Each target installs the Debian packages it needs (scripts/install-deps.sh
# lists them by group): `make` and `make run` only what building and running
# the game take. A target whose group brings a library the build looks for
# (GoogleTest, Google Benchmark) configures again, so the build finds it.
DEPS = ./scripts/install-deps.sh
# A new build folder is configured for Ninja (the build group installs it),
# which answers a build with nothing to do in a blink: make run starts the game
# at once. A folder configured before keeps its generator.
GENERATOR = $(if $(wildcard $(BUILD)/CMakeCache.txt),,$(if $(shell command -v ninja),-G Ninja))
RECONFIGURE = cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# One build for the programs and the data, so that a `make` with nothing to do
# walks the build's rules once.
all: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target all game

deps:
	@$(DEPS) build

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

# The game's data: levels, pictures, music and sounds, all made from data/;
# only what a changed source or tool makes is made again (cmake/gamedata.cmake).
game: deps configure
	./scripts/make-game.sh $(BUILD) $(JOBS)

# The desktop icons, cut from the hero's sprite sheet, for installing.
icons: game
	@$(DEPS) package
	./scripts/make-icons.sh $(BUILD)

# Only what playing takes: the game and its data, not the tools' tests.
run: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target twinfold game
	cd $(BUILD)/game && ../twinfold

# Opens a level in Tiled with the level format, e.g. make tiled LEVEL=data/levels/tutorial3.lvl
LEVEL ?= data/levels/tutorial1.lvl
tiled: all
	@$(DEPS) tiled
	./scripts/tiled.sh $(BUILD) $(LEVEL)

# The build with its tests, after the test group's packages.
test-build:
	@$(DEPS) test
	$(RECONFIGURE)
	$(MAKE) --no-print-directory all icons

test: test-build
	./scripts/run-tests.sh $(BUILD) $(JOBS)
	@if command -v emcc >/dev/null 2>&1 && command -v chromium >/dev/null 2>&1; then \
	  $(MAKE) --no-print-directory test-web; \
	else echo "Emscripten or Chromium not installed: browser tests skipped (make test-web installs them)"; fi
	@if command -v clang++ >/dev/null 2>&1; then \
	  $(MAKE) --no-print-directory fuzz-smoke FUZZSECONDS=$(TESTFUZZSECONDS); \
	else echo "clang++ not installed: fuzz smoke pass skipped"; fi

# Debian's layout for games under PREFIX (DESTDIR is put in front of it).
install: all icons
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

package: all icons
	cmake --build $(BUILD) --target package

# Solves every shipped level and the solver's test levels (tests/levels) again
# and prints each one's par and time. Replays go to $(BUILD)/solve/; with
# WRITE=1 the shipped levels' replays are written over data/levels/*.replay.
solve: build
	./scripts/solve-levels.sh $(BUILD) $(if $(WRITE),write,)

# How hard each shipped level is for a person, in chain order: writes
# docs/difficulty.md and its plot docs/difficulty.png (half a minute on a built tree).
difficulty: build
	@$(DEPS) difficulty
	./scripts/difficulty.sh $(BUILD)

# Current pictures of the title, a level in play and a shift in progress for
# the README, taken from the real game by the play tests that reach them.
screenshots: test-build
	mkdir -p docs
	TWINFOLD_SCREENSHOTS=$(CURDIR)/docs ./scripts/run-tests.sh $(BUILD) $(JOBS) \
	  -R '^(Title\.|FirstLevel\.Intro|Shift\.Foreground)'

# Benchmarks and whole-program timings; writes docs/performance.md (minutes).
bench:
	@$(DEPS) bench
	$(RECONFIGURE)
	$(MAKE) --no-print-directory all
	./scripts/bench.sh $(BUILD)

# Fuzzing and the sanitizer suites, each in a build folder of its own.
FUZZBUILD ?= build-fuzz
ASANBUILD ?= build-asan
TSANBUILD ?= build-tsan
FUZZSECONDS ?= 30
# make test runs a shorter smoke pass, to keep it within CI's time.
TESTFUZZSECONDS ?= 10
SANITIZE = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

# The fuzz targets (fuzz/) with clang, and their seeds from the game's data.
fuzz: game
	@$(DEPS) fuzz
	@[ -f $(FUZZBUILD)/CMakeCache.txt ] || CC=clang CXX=clang++ \
	  cmake -S fuzz -B $(FUZZBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZBUILD) -j $(JOBS)
	./fuzz/seeds.sh . $(BUILD) $(FUZZBUILD)/seeds

# Every target for FUZZSECONDS, two at a time; fails on any finding.
fuzz-smoke: fuzz
	./fuzz/run.sh $(FUZZBUILD) $(FUZZSECONDS) 2

# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer; leaks
# inside the system libraries are suppressed in scripts/lsan.supp. Mesa's
# driver is loaded up front so that it stays loaded at exit and its leaks can
# be told by name (it is unloaded before the leak check otherwise). The GLX
# vendor library and Xlib are kept loaded for the same reason.
MESADRIVER = $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so)) \
  $(firstword $(wildcard /usr/lib/*/libGLX_mesa.so.0)) $(firstword $(wildcard /usr/lib/*/libX11.so.6))
asan-build:
	@$(DEPS) test
	@[ -f $(ASANBUILD)/CMakeCache.txt ] || cmake -S . -B $(ASANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_C_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE)"
	cmake --build $(ASANBUILD) -j $(JOBS)
	@# The game data is the same bytes whoever makes it: take the plain build's
	@# when there is one, rather than drawing twenty levels again under ASan.
	@if [ -f $(BUILD)/game/tutorial1.lvl ]; then rm -rf $(ASANBUILD)/game && cp -a $(BUILD)/game $(ASANBUILD)/game; \
	else ./scripts/make-game.sh $(ASANBUILD) $(JOBS); fi
	./scripts/make-icons.sh $(ASANBUILD)

test-asan: asan-build
	LD_PRELOAD="$(MESADRIVER)" $(SANITIZERENV) ./scripts/run-tests.sh $(ASANBUILD) $(JOBS)

# The real game under the sanitizers for SOAKSECONDS (600): a round a level,
# its shipped replay to its end, then random seeded input; the loads per level
# are printed, and a level never reached fails it. SEED repeats a run. Not
# part of make test.
SOAKSECONDS ?= 600
SEED ?=
SANITIZERENV = ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0
soak: asan-build
	LD_PRELOAD="$(MESADRIVER)" $(SANITIZERENV) ./scripts/soak.sh $(ASANBUILD) $(SOAKSECONDS) $(SEED)

# The audio tests with ThreadSanitizer, the callback on SDL's own audio thread.
test-tsan:
	@$(DEPS) test
	@[ -f $(TSANBUILD)/CMakeCache.txt ] || cmake -S . -B $(TSANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_C_FLAGS="-fsanitize=thread" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
	cmake --build $(TSANBUILD) -j $(JOBS) --target twinfold_tests
	cd $(TSANBUILD) && SDL_AUDIODRIVER=dummy \
	  TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS) -R '^(Mixer|Music|Audio)'

# The game in the browser: WebAssembly, its data and the page, in WEBBUILD.
# zlib and libpng come from Debian's source packages (web/libs.sh). Debian's
# emcc runs its JavaScript optimizer with whatever node is first on PATH,
# which finds Debian's acorn only when told where Debian keeps it.
WEBBUILD ?= build-web
WEBPORT ?= 8080
EMENV = NODE_PATH=/usr/share/nodejs
# Of the desktop build it needs only the game data and the programs that make
# them, not the game's tests.
web: configure
	@$(MAKE) --no-print-directory web-build

# The browser build from the game folder, its pictures recompressed in
# $(BUILD)/game-web (the target game-web, cmake/webgame.cmake), which makes
# again only what changed. Nothing changed, nothing is packed, linked or
# written again: the page's files and the service worker are replaced only
# when their bytes differ.
web-build:
	@$(DEPS) web
	$(EMENV) ./web/libs.sh $(WEBBUILD)
	cmake --build $(BUILD) -j $(JOBS) --target game-web twinfold-level
	@[ -f $(WEBBUILD)/CMakeCache.txt ] || $(EMENV) emcmake cmake -S web -B $(WEBBUILD) \
	  -DCMAKE_BUILD_TYPE=Release -DTWINFOLD_WEB_LIBS=$(CURDIR)/$(WEBBUILD)/libs \
	  -DTWINFOLD_GAME_DATA=$(CURDIR)/$(BUILD)/game-web
	$(EMENV) cmake --build $(WEBBUILD) -j $(JOBS) --target twinfold
	@# All the levels in one package, as the build once made them: gone.
	@rm -f $(WEBBUILD)/levels.data
	cmake -E copy_if_different web/index.html web/touch.js web/touch.css web/levels.js web/pack.js \
	  $(WEBBUILD)/
	@# The service worker's cache is named for the contents of the build.
	sed "s/BUILDHASH/$$(cd $(WEBBUILD) && cat index.html touch.js touch.css levels.js pack.js \
	  twinfold.js twinfold.wasm twinfold.data levels.json | sha256sum | cut -c1-16)/" web/sw.js >$(WEBBUILD)/sw.js.new
	cmake -E copy_if_different $(WEBBUILD)/sw.js.new $(WEBBUILD)/sw.js && rm $(WEBBUILD)/sw.js.new

# What a static host needs, in one zip with the page at its root (README,
# "The browser build"): scripts/web-dist.py checks that it holds every file
# the page loads.
web-dist: web
	./scripts/web-dist.py $(WEBBUILD) $(WEBBUILD)/twinfold-web.zip

# The browser build played in headless Chromium (web/test/play.test.js) and
# compared with the native game's pictures, which the native play tests take
# (from docs/ when the tests are not built). puppeteer-core comes at the
# version web/test/package-lock.json pins; the browser is Debian's Chromium.
# tutorial1's replay is played as the play script twinfold-playscript makes.
# web/test/touch.test.js plays it by touch on an emulated phone.
# TWINFOLD_SCREENSHOTS=docs keeps the page in play as docs/web.png and the
# phone as docs/phone.png.
# web/test/pack.test.js then plays level packs made by twinfold-pack.
test-web:
	@[ -f $(BUILD)/game/tutorial1.lvl ] || $(MAKE) --no-print-directory game
	@$(MAKE) --no-print-directory web-build
	./scripts/web-dist.py $(WEBBUILD) $(WEBBUILD)/twinfold-web.zip
	@[ -d web/test/node_modules/puppeteer-core ] || (cd web/test && npm ci --no-audit --no-fund)
	@rm -rf $(WEBBUILD)/native && mkdir -p $(WEBBUILD)/native
	@if [ -x $(BUILD)/twinfold_tests ]; then \
	  TWINFOLD_SCREENSHOTS=$(CURDIR)/$(WEBBUILD)/native ./scripts/run-tests.sh $(BUILD) $(JOBS) \
	    -R '^(Title\.|Shift\.Foreground)' >$(WEBBUILD)/native/tests.log || \
	    { cat $(WEBBUILD)/native/tests.log; exit 1; }; \
	else cp docs/title.png docs/shift.png $(WEBBUILD)/native/; fi
	@[ -x $(BUILD)/twinfold-playscript ] || cmake --build $(BUILD) -j $(JOBS) --target twinfold-playscript
	$(BUILD)/twinfold-playscript $(BUILD)/game data/levels/tutorial1.replay \
	  >$(WEBBUILD)/native/tutorial1.script
	$(BUILD)/twinfold-playscript --keys >$(WEBBUILD)/native/keys.json
	node web/test/play.test.js $(WEBBUILD) $(WEBBUILD)/native $(TWINFOLD_SCREENSHOTS)
	node web/test/touch.test.js $(WEBBUILD) $(WEBBUILD)/native $(TWINFOLD_SCREENSHOTS)
	@[ -x $(BUILD)/twinfold-pack ] || cmake --build $(BUILD) -j $(JOBS) --target twinfold-pack
	node web/test/pack.test.js $(WEBBUILD) $(BUILD)

# Serves the page on this machine only; any static file host serves it as well.
serve-web: web
	@echo "Twinfold in the browser: http://127.0.0.1:$(WEBPORT)/"
	python3 -m http.server $(WEBPORT) --bind 127.0.0.1 --directory $(WEBBUILD)

clean:
	rm -rf $(BUILD) $(FUZZBUILD) $(ASANBUILD) $(TSANBUILD) $(WEBBUILD)
