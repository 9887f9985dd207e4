# Fluvex: every command installs what it needs first, so a fresh Debian 12 machine only needs
# `make demo` or `make test`.

BUILD_DIR ?= build
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLUVEX_WERROR=ON

.PHONY: all deps build test test-fast test-sanitizers bench fuzz demo install uninstall package clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Every test, then the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-fast test-sanitizers

test-fast: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) --output-on-failure

test-sanitizers: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFLUVEX_WERROR=ON \
	  -DFLUVEX_SANITIZE=address,undefined -DFLUVEX_BUILD_VIEWS=OFF -DFLUVEX_BUILD_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest -L core -j $(JOBS) --output-on-failure

bench: build
	$(BUILD_DIR)/bench/fluvex_bench
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/fluvex_view_bench

# libFuzzer over the PD0 decoder and whole-file open (seeded with the real files and a dictionary
# of header bytes), the suite's line files, line logs, archives and the SonTek MATLAB exports;
# FUZZ_SECONDS per target.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLUVEX_BUILD_FUZZ=ON -DFLUVEX_SANITIZE=address,undefined \
	  -DFLUVEX_BUILD_VIEWS=OFF -DFLUVEX_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target pd0_decoder_fuzz pd0_open_fuzz line_files_fuzz \
	  archive_fuzz log_reader_fuzz matlab_export_fuzz
	mkdir -p $(FUZZ_DIR)/corpus/decoder $(FUZZ_DIR)/corpus/open $(FUZZ_DIR)/corpus/line-files \
	  $(FUZZ_DIR)/corpus/archives $(FUZZ_DIR)/corpus/logs $(FUZZ_DIR)/corpus/matlab
	$(FUZZ_DIR)/tools/fuzz/pd0_decoder_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=70000 \
	  -dict=tools/fuzz/pd0.dict $(FUZZ_DIR)/corpus/decoder tests/data/pd0
	$(FUZZ_DIR)/tools/fuzz/pd0_open_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=150000 \
	  -dict=tools/fuzz/pd0.dict $(FUZZ_DIR)/corpus/open tests/data/pd0
	$(FUZZ_DIR)/tools/fuzz/line_files_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=20000 \
	  $(FUZZ_DIR)/corpus/line-files tests/data/line-files
	$(FUZZ_DIR)/tools/fuzz/archive_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=20000 \
	  $(FUZZ_DIR)/corpus/archives tools/fuzz/seeds/archives
	$(FUZZ_DIR)/tools/fuzz/log_reader_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4000 \
	  $(FUZZ_DIR)/corpus/logs tools/fuzz/seeds/logs
	$(FUZZ_DIR)/tools/fuzz/matlab_export_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=400000 \
	  $(FUZZ_DIR)/corpus/matlab tests/data/sontek

demo: build
	scripts/demo $(BUILD_DIR)

# Installs under PREFIX (DESTDIR honoured, as packagers stage); for a real install the desktop's
# caches are refreshed so that the menu entry, icon and file types show at once.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	sed 's|^|$(DESTDIR)|' $(BUILD_DIR)/install_manifest.txt > $(BUILD_DIR)/installed-files.txt
	@if [ -z "$(DESTDIR)" ]; then scripts/refresh-desktop-caches "$(PREFIX)"; fi

# Removes what the last `make install` wrote, and Fluvex's own folders. It keeps its own list:
# CMake's install_manifest.txt is overwritten by every install, the tests' included, and leaves
# DESTDIR out.
uninstall:
	@test -f $(BUILD_DIR)/installed-files.txt || { echo "nothing installed from $(BUILD_DIR)"; exit 1; }
	xargs -d '\n' rm -f -- < $(BUILD_DIR)/installed-files.txt
	grep -E '/share/(doc/)?fluvex/' $(BUILD_DIR)/installed-files.txt | xargs -d '\n' dirname | \
	  sort -ru | xargs -d '\n' rmdir --ignore-fail-on-non-empty --
	rm $(BUILD_DIR)/installed-files.txt
	@if [ -z "$(DESTDIR)" ]; then scripts/refresh-desktop-caches "$(PREFIX)"; fi

# The Debian package fluvex_<version>_<arch>.deb in the build folder.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
