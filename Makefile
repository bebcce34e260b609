# Twinfold: `make` builds, `make run` plays, `make test` runs every test headless.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build game run test bench clean fuzz fuzz-smoke test-asan test-tsan

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
	@if command -v clang++ >/dev/null 2>&1; then $(MAKE) --no-print-directory fuzz-smoke; \
	else echo "clang++ not installed: fuzz smoke pass skipped"; fi

bench: build
	./$(BUILD)/twinfold_bench

# Fuzzing and the sanitizer suites, each in a build folder of its own.
FUZZBUILD ?= build-fuzz
ASANBUILD ?= build-asan
TSANBUILD ?= build-tsan
FUZZSECONDS ?= 30
SANITIZE = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

# The fuzz targets (fuzz/) with clang, and their seeds from the game's data.
fuzz: game
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
# be told by name (it is unloaded before the leak check otherwise).
MESADRIVER = $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so))
test-asan: deps
	@[ -f $(ASANBUILD)/CMakeCache.txt ] || cmake -S . -B $(ASANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_C_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE)"
	cmake --build $(ASANBUILD) -j $(JOBS)
	./scripts/make-game.sh $(ASANBUILD)
	LD_PRELOAD=$(MESADRIVER) ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  ./scripts/run-tests.sh $(ASANBUILD) $(JOBS)

# The audio tests with ThreadSanitizer, the callback on SDL's own audio thread.
test-tsan: deps
	@[ -f $(TSANBUILD)/CMakeCache.txt ] || cmake -S . -B $(TSANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_C_FLAGS="-fsanitize=thread" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
	cmake --build $(TSANBUILD) -j $(JOBS) --target twinfold_tests
	cd $(TSANBUILD) && SDL_AUDIODRIVER=dummy \
	  TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS) -R '^(Mixer|Music|Audio)'

clean:
	rm -rf $(BUILD) $(FUZZBUILD) $(ASANBUILD) $(TSANBUILD)
