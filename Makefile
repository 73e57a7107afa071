# Lumatex: the README's commands. Every target installs what it needs first (scripts/install-deps.sh).
BUILD      ?= build
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 20
WERROR     := $(if $(CI),ON,OFF)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build test test-format test-unit test-asan test-tsan test-fuzz test-package package bench run media \
        screenshots clean format

all: build

deps:
	@bash scripts/install-deps.sh

# Configured on every build, so that an existing tree takes CI's warnings-as-errors (and any other
# option change) instead of keeping what it was first configured with.
build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMATEX_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)
	@bash scripts/make-media.sh $(BUILD)/bin/media

test: build
	$(MAKE) --no-print-directory test-format test-unit test-package test-asan test-tsan test-fuzz

# The layout clang-format gives every C++ file; "make format" repairs it.
test-format: deps
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

test-unit:
	bash scripts/run-ctest.sh $(BUILD)

# The non-Qt libraries and their tests under AddressSanitizer and UndefinedBehaviorSanitizer. The sanitizer
# and fuzz trees are configured from CMakePresets.json, which editors and `cmake --preset` use too.
test-asan: deps
	cmake --preset asan -DLUMATEX_WERROR=$(WERROR)
	cmake --build build-asan -j $(JOBS)
	# Sound against picture to within 40 ms holds for the optimised build; the sanitizers slow decoding
	# enough for the sound to skip (as designed) and leave nothing to measure.
	bash scripts/run-ctest.sh build-asan -E 'AudioClockTest\.ClickAndFlashArriveTogether'

# The whole video library's tests (streaming thread, hand-off, graph) and the platform's (the frame pipeline of
# batch renders) under ThreadSanitizer.
test-tsan: deps
	cmake --preset tsan -DLUMATEX_WERROR=$(WERROR)
	cmake --build build-tsan -j $(JOBS) --target test_video test_platform
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/scripts/tsan.supp" build-tsan/bin/test_video \
	  --gtest_filter=-AudioClockTest.ClickAndFlashArriveTogether
	# Only the platform's threaded parts. The scratch-file test's forked child ends itself by raising its
	# signal again from the handler; ThreadSanitizer, which defers signals, once left it in pause() for ever.
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/scripts/tsan.supp" build-tsan/bin/test_platform \
	  --gtest_filter='FramePipeline.*:ThreadMessageSink.*'

test-fuzz: deps
	cmake --preset fuzz
	cmake --build build-fuzz -j $(JOBS)
	bash scripts/fuzz-smoke.sh build-fuzz/bin $(FUZZ_SECONDS)

# The Debian package lumatex_VERSION_amd64.deb in $(BUILD)/package, made by CPack from the built tree.
package: build
	cmake --build $(BUILD) --target package

# The package checked by lintian, unpacked into a scratch folder and run from there (scripts/check-package.sh).
test-package: deps
	bash scripts/check-package.sh $(BUILD)

bench: build
	bash scripts/run-bench.sh $(BUILD)

run: build
	bash scripts/run.sh $(BUILD)

# The README's pictures taken anew from the built program on a private Xvfb display.
screenshots: build
	bash scripts/screenshot.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-tsan build-fuzz
