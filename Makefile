# Set-up, build and test in two commands: `make demo` and `make test`.
SHELL := /bin/bash

PACKAGES := cmake ninja-build g++ pkg-config zlib1g-dev libsndfile1-dev libebur128-dev libcli11-dev \
            libgtest-dev libgmock-dev libbenchmark-dev \
            lv2-dev liblilv-dev lilv-utils sordi libjack-jackd2-dev jackd2 jalv jack-tools \
            libcairo2-dev libfreetype-dev libx11-dev libgl-dev libgl1-mesa-dri xvfb xdotool dpf-source

comma := ,
SANITIZE ?=
BUILD_TYPE ?= Release
ifeq ($(SANITIZE),)
BUILD_DIR ?= build
else
BUILD_DIR ?= build-$(subst $(comma),-,$(SANITIZE))
BUILD_TYPE := RelWithDebInfo
endif
JOBS ?= $(shell nproc)
# `make test WERROR=1`: every compiler warning fails the build.
WERROR ?=
WERROR_FLAG = $(if $(filter 1 ON on yes,$(WERROR)),ON,OFF)
DEMO_WAV ?= $(BUILD_DIR)/vorn-demo.wav
# `make install PREFIX=~/.local` puts the LV2 bundle where hosts look in a home folder.
PREFIX ?= /usr/local
INSTALL_PREFIX = $(patsubst ~%,$(HOME)%,$(PREFIX))

.PHONY: all deps deps-arm configure build demo test test-arm bench bench-peers format format-check clean install realtime rtsan tsan ardour-check qtractor-check

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVORN_SANITIZE=$(SANITIZE) \
	  -DVORN_WERROR=$(WERROR_FLAG) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	@$(BUILD_DIR)/apps/vorn/vorn demo --output $(DEMO_WAV)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# 64-bit ARM: the libraries below host/ and their tests, cross-compiled with Debian's aarch64
# compiler (GoogleTest from its Debian sources) and run under qemu-user. Left out under the
# emulator, where they take minutes each: the parameter sweeps, the factory preset renders and
# the long real-time sessions (ARM_SLOW_TESTS); the command-line tests need the program.
ARM_BUILD_DIR ?= build-aarch64
ARM_PACKAGES := cmake ninja-build pkg-config libgtest-dev g++-aarch64-linux-gnu qemu-user \
                zlib1g-dev:arm64 libstdc++6:arm64
ARM_SLOW_TESTS := SweepTest|FactoryPresetsTest|RealtimeSafetyTest.(ShortSession|EveryRate)
deps-arm:
	@dpkg --print-foreign-architectures | grep -qx arm64 || { \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; $$SUDO dpkg --add-architecture arm64; }
	@$(MAKE) --no-print-directory deps PACKAGES="$(ARM_PACKAGES)"

test-arm: deps-arm
	@cmake -S . -B $(ARM_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/Aarch64Toolchain.cmake -DVORN_LIBRARIES_ONLY=ON \
	  -DVORN_GTEST_SOURCE=/usr/src/googletest >/dev/null
	@cmake --build $(ARM_BUILD_DIR) -j $(JOBS)
	@cd $(ARM_BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -E '$(ARM_SLOW_TESTS)'

bench: build
	@$(BUILD_DIR)/bench/vorn_bench

# Vorn beside the instrument plug-ins packaged in Debian, timed by our own host (not in CI).
PEER_PACKAGES := amsynth calf-plugins synthv1-lv2 dssi-dev libasound2-dev
bench-peers: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(PEER_PACKAGES)"
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVORN_SANITIZE=$(SANITIZE) \
	  -DVORN_WERROR=$(WERROR_FLAG) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target vorn_peer_bench vorn_lv2
	@bash bench/peers.sh $(BUILD_DIR)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --component lv2 --prefix $(INSTALL_PREFIX)
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --component clap --prefix $(INSTALL_PREFIX)
	@install -D -m 755 $(BUILD_DIR)/apps/vorn/vorn $(DESTDIR)$(INSTALL_PREFIX)/bin/vorn
	@echo "Installed $(DESTDIR)$(INSTALL_PREFIX)/bin/vorn, $(DESTDIR)$(INSTALL_PREFIX)/lib/lv2/vorn.lv2 and $(DESTDIR)$(INSTALL_PREFIX)/lib/clap/vorn.clap"

# Real-time safety at length: REALTIME_SECONDS of audio per rate (44.1, 96 kHz) and host block
# (32, 256, 4096 frames) with no allocation, lock or sleep on the audio thread.
REALTIME_SECONDS ?= 600
realtime: build
	@VORN_REALTIME_SECONDS=$(REALTIME_SECONDS) $(BUILD_DIR)/tests/realtime/vorn_realtime_tests

# The same sessions under RealtimeSanitizer (clang 22 from the Debian security archive).
RTSAN_CXX ?= clang++-22
rtsan:
	@$(MAKE) --no-print-directory deps PACKAGES="clang-22 libclang-rt-22-dev"
	@command -v $(RTSAN_CXX) >/dev/null || { echo "needs $(RTSAN_CXX): apt-get install clang-22 libclang-rt-22-dev"; exit 1; }
	@CXX=$(RTSAN_CXX) cmake -S . -B build-realtime -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=realtime -DVORN_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-realtime -j $(JOBS) --target vorn_realtime_tests vorn_lv2_tests vorn_clap_tests
	@export RTSAN_OPTIONS=external_symbolizer_path=$$(command -v llvm-symbolizer) \
	  XDG_DATA_HOME=$(CURDIR)/build-realtime/test-home/data \
	  XDG_CONFIG_HOME=$(CURDIR)/build-realtime/test-home/config \
	  XDG_DOCUMENTS_DIR=$(CURDIR)/build-realtime/test-home/documents; \
	  VORN_REALTIME_SECONDS=$(REALTIME_SECONDS) build-realtime/tests/realtime/vorn_realtime_tests && \
	  build-realtime/tests/host/lv2/vorn_lv2_tests --gtest_filter='Lv2Plugin.*' && \
	  build-realtime/tests/host/clap/vorn_clap_tests --gtest_filter='ClapPlugin.*'

# ThreadSanitizer on the tests that run threads against each other.
THREADING_TESTS := RealtimeSafety|VornRealtime|ValidatorThreads|Determinism|LockFreeQueue|AsyncEventQueue|CriticalSection|LockedObject|GenericPlugin|PNGFiler
THREADING_TARGETS := vorn_realtime_tests vorn_engine_tests vorn_framework_tests vorn_reliability_tests vorn_gui_tests
tsan: deps
	@cmake -S . -B build-thread -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=thread >/dev/null
	@cmake --build build-thread -j $(JOBS) --target $(THREADING_TARGETS)
	@cd build-thread && ctest --output-on-failure -j $(JOBS) -R '$(THREADING_TESTS)'

# Vorn in a scripted Ardour 7 session (not in CI: Ardour is large): a factory preset from
# Ardour's list, Output Volume automation played back, the export against `vorn render`.
ardour-check: build
	@$(MAKE) --no-print-directory deps PACKAGES="ardour python3"
	@sh tests/host/ardour/run.sh $(BUILD_DIR)

# Qtractor hosts the CLAP module under Xvfb; refreshes docs/screenshots/qtractor-clap.png.
qtractor-check: build
	@$(MAKE) --no-print-directory deps PACKAGES="qtractor jackd2 xvfb xdotool imagemagick"
	@sh tests/host/qtractor/run.sh $(BUILD_DIR)

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

# Fails, naming each file, when clang-format would change a tracked source.
format-check:
	@$(MAKE) --no-print-directory deps PACKAGES="clang-format git"
	@bad=$$(git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run --Werror 2>&1 | \
	  sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u); \
	if [ -n "$$bad" ]; then echo "not clang-format clean (make format):"; echo "$$bad"; exit 1; fi

clean:
	rm -rf build build-*

# `make fuzz FUZZ_SECONDS=N`: builds the libFuzzer targets with clang (address and undefined
# sanitizers) and runs each for N seconds, starting from its checked-in seeds. New inputs collect
# in $(FUZZ_DIR)/corpus, findings in $(FUZZ_DIR)/findings; the first finding stops the run.
.PHONY: fuzz
FUZZ_SECONDS ?= 60
FUZZ_DIR ?= build-fuzz
FUZZ_TARGETS = $(sort $(basename $(notdir $(wildcard fuzz/*Fuzzer.cpp))))
FUZZ_HOME = $(abspath $(FUZZ_DIR))/home

fuzz: deps
	@$(MAKE) --no-print-directory deps PACKAGES="clang libclang-rt-14-dev"
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVORN_BUILD_FUZZ=ON -DVORN_BUILD_TESTS=OFF -DVORN_BUILD_BENCH=OFF \
	  -DVORN_SANITIZE=address,undefined >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/findings/$$t $(FUZZ_DIR)/logs; \
	  log=$(FUZZ_DIR)/logs/$$t.log; \
	  echo "$$t: $(FUZZ_SECONDS) s"; \
	  if ! env XDG_DATA_HOME=$(FUZZ_HOME)/data XDG_CONFIG_HOME=$(FUZZ_HOME)/config \
	      XDG_DOCUMENTS_DIR=$(FUZZ_HOME)/documents \
	      $(FUZZ_DIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=30 -print_final_stats=1 \
	      -artifact_prefix=$(FUZZ_DIR)/findings/$$t/ $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t \
	      >$$log 2>&1; then \
	    tail -n 60 $$log; echo "$$t: finding kept in $(FUZZ_DIR)/findings/$$t"; exit 1; \
	  fi; \
	  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' $$log; \
	done
