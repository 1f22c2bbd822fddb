# The two set-up commands of the README.
#   make run   installs what is missing, builds, and starts Zendrel on ./zendrel-data
#   make test  installs what is missing, builds, and runs every test
#   make package   builds the Debian package zendrel_<version>_amd64.deb in the build directory
BUILD ?= build
DATA ?= $(CURDIR)/zendrel-data
JOBS ?= 2

.PHONY: run test deps configure build package clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@bash scripts/run.sh "$(BUILD)" "$(DATA)"

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

package: build
	@cmake --build $(BUILD) --target package

clean:
	@rm -rf $(BUILD)
