# Thin front door: `make run` plays the game on the sample data, `make test` runs the tests.
PRESET ?= release
BUILD := build/$(PRESET)
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench fuzz soak clean

all: build

deps:
	@bash scripts/install-deps.sh

# CMAKE_ARGS passes extra cache settings to the first configure (CI: -DV4_WERROR=ON).
configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset $(PRESET) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/game && ./vornakest4 $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every benchmark program runs; the target fails when one of them misses a target.
bench: build
	@fail=0; for b in $(BUILD)/bench/*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	  echo "== $$(basename $$b)"; "$$b" || fail=1; \
	done; exit $$fail

# Long runs of the automatic player (v4play): SOAK_SEEDS strategy games of SOAK_SEASONS seasons and
# SOAK_STORIES story runs, with a summary; fails when a run stopped. Not in CI.
SOAK_SEEDS ?= 20
SOAK_SEASONS ?= 60
SOAK_STORIES ?= 50
# e.g. SOAK_ARGS="--avoid 14" to look past a known fault
SOAK_ARGS ?=
soak: build
	@bash tests/support/autoplay/soak.sh $(BUILD) $(SOAK_SEEDS) $(SOAK_SEASONS) $(SOAK_STORIES) $(JOBS) "$(SOAK_ARGS)"

# Every fuzz target runs for FUZZ_SECONDS (default 60) under AFL++ (installed when missing); not in CI.
fuzz:
	@JOBS=$(JOBS) bash scripts/fuzz.sh

# Everything the build made goes; the player's SaveData folders (settings, play record, saves)
# under build/<preset>/game stay.
clean:
	@[ ! -d build ] || find build -mindepth 1 -path 'build/*/game/SaveData' -prune -o \( ! -type d \) -exec rm -f {} +
	@[ ! -d build ] || find build -depth -mindepth 1 -type d -empty -delete
