# The two set-up commands of the README.
#   make run   installs what is missing, builds, and starts Zendrel on ./zendrel-data
#   make test  installs what is missing, builds, and runs every test
BUILD ?= build
DATA ?= $(CURDIR)/zendrel-data
JOBS ?= 2

.PHONY: run test deps configure build clean

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

clean:
	@rm -rf $(BUILD)
