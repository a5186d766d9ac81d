#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test three times over:
#   build/       normal build, all tests
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer, all tests
#   build-tsan/  ThreadSanitizer, the tests labelled tsan (code that
#                synchronises only through atomics and std::mutex)
#   build-fuzz/  the parsers' fuzz targets (tools/run-fuzz.sh), each over its
#                corpus and then fuzzed for H452_FUZZ_SECONDS (20) seconds
# Set H452_TEST_ONLY=normal|asan|tsan|fuzz to run one of them, and H452_WERROR=ON
# to fail on any compiler warning (CI does).
#
# Every configure asks for the tests explicitly and every ctest call fails
# when it selects no test: a folder configured without tests (by hand, or by
# an older script) must not pass as a green run that tested nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
only=${H452_TEST_ONLY:-}
werror=${H452_WERROR:-OFF}
jobs=$(nproc)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

run_suite() {  # name, build dir, cmake args, ctest args
  local name=$1 dir=$2 cargs=$3 targs=$4 target=${5:-all}
  echo "=== $name: configure and build"
  cmake -S "$root" -B "$dir" -G Ninja -DH452_TESTS=ON -DH452_WERROR="$werror" $cargs >/dev/null
  cmake --build "$dir" --target $target -j "$jobs"
  echo "=== $name: test"
  (cd "$dir" && ctest --no-tests=error --output-on-failure --timeout 900 -j "$jobs" $targs)
}

if [ -z "$only" ] || [ "$only" = normal ]; then
  run_suite normal "$root/build" "-DCMAKE_BUILD_TYPE=RelWithDebInfo" ""
fi
if [ -z "$only" ] || [ "$only" = asan ]; then
  export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
  run_suite asan "$root/build-asan" "-DCMAKE_BUILD_TYPE=Debug -DH452_SANITIZE=address" ""
  unset LSAN_OPTIONS UBSAN_OPTIONS ASAN_OPTIONS
fi
if [ -z "$only" ] || [ "$only" = tsan ]; then
  export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
  run_suite tsan "$root/build-tsan" "-DCMAKE_BUILD_TYPE=RelWithDebInfo -DH452_SANITIZE=thread" "-L tsan" h452_tsan_tests
fi
if [ -z "$only" ] || [ "$only" = fuzz ]; then
  bash "$root/tools/run-fuzz.sh"
fi
echo "All test suites passed."
