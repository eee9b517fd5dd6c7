#!/usr/bin/env bash
# One entry point: install the dependencies, build, then run the program or the tests.
#   scripts/build.sh run        build and start the program on its built-in demo bus
#   scripts/build.sh test       build and run the test suite
#   scripts/build.sh sanitize   build with AddressSanitizer + UBSan and run the suite
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-test}
scripts/install-deps.sh
jobs=$(nproc)
case "$what" in
  run)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$jobs"
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec xvfb-run -a ./build/orbis-utility --demo
    fi
    exec ./build/orbis-utility --demo
    ;;
  test)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$jobs"
    ctest --test-dir build --output-on-failure -j "$jobs"
    ;;
  sanitize)
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBIS_SANITIZE=ON \
      -DORBIS_BUILD_BENCH=OFF
    cmake --build build-asan -j "$jobs"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
      ctest --test-dir build-asan --output-on-failure -j "$jobs"
    ;;
  *) echo "usage: $0 run|test|sanitize" >&2; exit 2 ;;
esac
