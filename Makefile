# Set-up, build and test in two commands: `make demo` and `make test`.
SHELL := /bin/bash

PACKAGES := cmake ninja-build g++ pkg-config zlib1g-dev libsndfile1-dev libcli11-dev \
            libgtest-dev libgmock-dev libbenchmark-dev \
            lv2-dev liblilv-dev lilv-utils sordi libjack-jackd2-dev jackd2 jalv jack-tools

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
DEMO_WAV ?= $(BUILD_DIR)/vorn-demo.wav
# `make install PREFIX=~/.local` puts the LV2 bundle where hosts look in a home folder.
PREFIX ?= /usr/local
INSTALL_PREFIX = $(patsubst ~%,$(HOME)%,$(PREFIX))

.PHONY: all deps configure build demo test bench format clean install

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
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVORN_SANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	@$(BUILD_DIR)/apps/vorn/vorn demo --output $(DEMO_WAV)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@$(BUILD_DIR)/bench/vorn_bench

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --component lv2 --prefix $(INSTALL_PREFIX)
	@install -D -m 755 $(BUILD_DIR)/apps/vorn/vorn $(DESTDIR)$(INSTALL_PREFIX)/bin/vorn
	@echo "Installed $(DESTDIR)$(INSTALL_PREFIX)/bin/vorn and $(DESTDIR)$(INSTALL_PREFIX)/lib/lv2/vorn.lv2"

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build build-*
