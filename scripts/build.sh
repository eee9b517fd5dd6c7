#!/usr/bin/env bash
# One entry point: install the dependencies, build, then run the program or the tests.
#   scripts/build.sh run        build and start the program on its built-in demo bus
#   scripts/build.sh test       build and run the test suite
#   scripts/build.sh sanitize   build with AddressSanitizer + UBSan and run the suite
#   scripts/build.sh tsan       build with ThreadSanitizer and run the suite (the line worker's
#                               thread against the GUI thread)
#   scripts/build.sh fuzz [S]   build the libFuzzer targets with clang and run each for S seconds
#                               (default 30); a finding fails and its input is dumped in hex
#   scripts/build.sh package    build and make the Debian package (./orbis-utility_*.deb)
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
  tsan)
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBIS_TSAN=ON \
      -DORBIS_BUILD_BENCH=OFF
    cmake --build build-tsan -j "$jobs"
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
      ctest --test-dir build-tsan --output-on-failure -j "$jobs"
    ;;
  fuzz)
    seconds=${2:-30}
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DORBIS_FUZZ=ON -DORBIS_BUILD_APP=OFF -DORBIS_BUILD_TESTS=OFF -DORBIS_BUILD_BENCH=OFF
    cmake --build build-fuzz -j "$jobs"
    # The seeds come from the register tables: written afresh, so that they follow the tables.
    rm -rf fuzz/corpus
    ./build-fuzz/fuzz/make_fuzz_corpus fuzz/corpus
    export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
    failed=0
    rm -rf build-fuzz/findings
    for target in build-fuzz/fuzz/fuzz_*; do
      name=$(basename "$target")
      work=build-fuzz/corpus/$name findings=build-fuzz/findings/$name
      mkdir -p "$work" "$findings"
      echo "== $name: $seconds s"
      if ! nice -n 19 "$target" -max_total_time="$seconds" -timeout=10 \
          -print_final_stats=1 -artifact_prefix="$findings/" "$work" "fuzz/corpus/$name" \
          > "build-fuzz/$name.log" 2>&1; then
        failed=1
        tail -n 60 "build-fuzz/$name.log"
        for input in "$findings"/*; do
          [ -f "$input" ] || continue
          echo "-- finding of $name: $input"
          od -A x -t x1z -v "$input"
        done
      fi
      grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec" \
        "build-fuzz/$name.log" || true
    done
    exit "$failed"
    ;;
  package)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$jobs"
    rm -rf build/package
    (cd build && cpack -G DEB)
    deb=$(ls build/package/orbis-utility_*.deb)
    cp "$deb" .
    echo "package: ./$(basename "$deb")"
    ;;
  *) echo "usage: $0 run|test|sanitize|tsan|package|fuzz [SECONDS]" >&2; exit 2 ;;
esac
