# The two everyday commands: `make run` starts Tarnvue on demo data, `make test`
# runs the whole test suite; `make package` builds the Debian package. All
# install what they need first.
BUILD ?= build
BIN := $(BUILD)/bin
DEMO_DAYS ?= 400

.PHONY: all deps configure build run demo test package clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja

build: configure
	cmake --build $(BUILD)

# A demo monitor database beside the program, made once.
demo: build
	@test -f $(BIN)/Pollwatch.cfg || $(BIN)/tarnvue-demodb --days $(DEMO_DAYS) -o $(BIN)/Pollwatch.cfg

run: demo
	$(BIN)/tarnvue -N1

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

# The Debian package, build/tarnvue_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
