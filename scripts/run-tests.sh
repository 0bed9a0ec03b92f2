#!/usr/bin/env bash
# Installs the dependencies, builds Paginor from scratch and runs every test:
# first the unit tests and fuzz targets built with the address and
# undefined-behaviour sanitizers, then the whole suite (unit, end-to-end, reader) with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

# LibreOffice too, so that the .doc and .rtf path is tested.
scripts/install-deps.sh --with-office

jobs=$(nproc)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPAGINOR_SANITIZE=ON \
      -DPAGINOR_BENCH=OFF
cmake --build build-asan --target paginor_tests config_reader_fuzz text_loader_fuzz fb2_import_fuzz picture_fuzz word_import_fuzz odt_import_fuzz epub_import_fuzz -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
build-asan/tests/paginor_tests --gtest_brief=1
# The fuzz targets on their seeds and a few seconds of mutations each.
ctest --test-dir build-asan --output-on-failure -R '^fuzz[.]' -j "$jobs"
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
