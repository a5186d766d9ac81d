#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) in build-fuzz/, runs each target over its
# checked-in corpus, then fuzzes each for a fixed time. Any crash, sanitizer
# report or broken property fails the script; the input that caused it is
# kept in build-fuzz/artifacts/.
#
#   H452_FUZZ_SECONDS=20      fuzzing time per target, in seconds (0: corpus only)
#   H452_FUZZ_TARGETS="a b"   only these targets (names without "fuzz_")
#   H452_FUZZ_RUNS=N          stop each target after N executions instead of
#                             a fixed time (for the long runs of docs/benchmarks.md)
#
# What the fuzzers find beyond the seeds stays in build-fuzz/corpus/<target>;
# copy an input worth keeping into tests/fuzz/corpus/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" fuzz
seconds=${H452_FUZZ_SECONDS:-20}
runs=${H452_FUZZ_RUNS:-}
targets=${H452_FUZZ_TARGETS:-"sample_file recording_meta sample_rate resource_string analyze_options record_options"}
build="$root/build-fuzz"
cxx=$(command -v clang++ || command -v clang++-14)
cc=$(command -v clang || command -v clang-14)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

echo "=== fuzz: configure and build"
cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target $(printf 'fuzz_%s ' $targets)

export ASAN_OPTIONS="abort_on_error=0:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/artifacts"
failed=()
for t in $targets; do
  exe="$build/fuzz_$t"
  seeds="$root/tests/fuzz/corpus/$t"
  work="$build/corpus/$t"
  dict=()
  [ -f "$root/tests/fuzz/$t.dict" ] && dict=(-dict="$root/tests/fuzz/$t.dict")
  # Extra libFuzzer flags of a target, one per line, for the fuzzing run.
  extra=()
  [ -f "$root/tests/fuzz/$t.options" ] && mapfile -t extra < <(grep -v '^#' "$root/tests/fuzz/$t.options")
  common=(-artifact_prefix="$build/artifacts/$t-" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  log="$build/fuzz_$t.log"
  echo "=== fuzz: $t: corpus"
  if ! "$exe" "${common[@]}" -runs=0 "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log"; failed+=("$t (corpus)"); continue
  fi
  limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs")
  [ -z "$runs" ] && [ "$seconds" = 0 ] && continue
  echo "=== fuzz: $t: ${runs:-$seconds s} $( [ -n "$runs" ] && echo executions)"
  mkdir -p "$work"
  start=$(date +%s)
  if ! "$exe" "${common[@]}" "${dict[@]}" "${extra[@]}" "${limit[@]}" "$work" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log"; failed+=("$t"); continue
  fi
  # The last status line: executions, coverage (cov) and features (ft).
  echo "    $(grep -E '^#[0-9]+' "$log" | tail -n 1) in $(( $(date +%s) - start )) s"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing failed: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
echo "All fuzz targets passed."
