#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test: the plain build with warnings as errors, the
# window under Xvfb, the Debian package (lintian, then installed, run and removed), the fuzz targets for
# half a minute each, the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# threaded tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
fuzz_seconds=${VANTREL_FUZZ_SECONDS:-20}
# Two tests at a time: many of them wait on time-outs, the simulated recorder's pace or child processes,
# so two share the machine's two cores without slowing each other much.
test_jobs=${VANTREL_TEST_JOBS:-2}
# Every tree is built from scratch, so each compiles a folder's files in batches (CMake's unity build): the
# Qt, Boost and GoogleTest headers are read once a batch instead of once a file. The names a folder's .cpp
# files keep to themselves (anonymous namespace, static) must therefore differ between its files.
unity=-DCMAKE_UNITY_BUILD=ON

echo "== build and test (warnings are errors)"
bash scripts/build.sh build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON "$unity"
ctest --test-dir build/ci --output-on-failure --timeout 600 -j"$test_jobs"

echo "== the real window under Xvfb: ticks clips, transfers them, takes screenshots mid-batch and of the summary"
bash scripts/screenshot.sh build/ci build/ci/window.png

echo "== the Debian package, made from the tree above: lintian, then installed, run and removed again"
bash scripts/package.sh build/ci | tee build/ci/package.log
bash scripts/check-package.sh "$(tail -n 1 build/ci/package.log)"

echo "== fuzz targets, ${fuzz_seconds} s each, AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DVANTREL_FUZZ=ON \
  -DVANTREL_SANITIZE=address -DVANTREL_BENCH=OFF "$unity" >/dev/null
cmake --build build/fuzz --target fuzzers -j"${VANTREL_JOBS:-2}"
for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
  [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
  echo "-- $(basename "$fuzzer")"
  "$fuzzer" -max_total_time="$fuzz_seconds" 2>&1 | tail -n 3
done

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=address -DVANTREL_BENCH=OFF "$unity"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -LE e2e --output-on-failure --timeout 900 -j"$test_jobs"

echo "== threaded tests under ThreadSanitizer"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=thread -DVANTREL_BENCH=OFF "$unity" \
  >/dev/null
cmake --build build/tsan --target threaded_tests -j"${VANTREL_JOBS:-2}"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build/tsan -L threaded --output-on-failure --timeout 900 -j"$test_jobs"
