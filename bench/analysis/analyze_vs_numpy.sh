#!/usr/bin/env bash
# h452-analyze against the numpy reference (reference_figures.py), both timed
# as whole processes on the same generated sample files, at 1000 and 100 000
# samples per record (Hann window, all four channels, CSV written to a file).
# Both compute the window's table figures (h452-analyze with --no-standard,
# on one thread and with its default threads); h452-analyze's default report,
# which adds the IEEE 1241 set and its sine fit, is timed beside them.
# Each side runs several times; the best wall time counts, with its CPU time
# (user + system) beside it. The reference's CSV is checked against the
# analyser's first, so both compute the same figures.
#   analyze_vs_numpy.sh BIN_DIR      BIN_DIR holds h452-analyze
# H452_BENCH_RUNS sets the runs per side (default 3).
set -euo pipefail
bin=${1:?usage: analyze_vs_numpy.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
ref="$here/reference_figures.py"
runs=${H452_BENCH_RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "wall cpu" of the fastest of $runs runs of a command (stdout to a file).
best() {
  local bestWall="" bestCpu=""
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" > "$work/out.csv"
    read -r wall user sys < "$work/time"
    if [ -z "$bestWall" ] || awk "BEGIN{exit !($wall < $bestWall)}"; then
      bestWall=$wall
      bestCpu=$(awk "BEGIN{printf \"%.2f\", $user + $sys}")
    fi
  done
  echo "$bestWall $bestCpu"
}

printf '%-8s %8s | %-21s | %-21s | %-21s | %-21s | %s\n' samples records "numpy wall/cpu s" \
  "h452 1 thread" "h452 default threads" "h452 + IEEE 1241 set" "speed-up (wall, 1 thread / default)"
# Records per file: about 480 MB of samples at either size, so that each side
# runs well over a second.
for size in 1000:60000 100000:600; do
  n=${size%%:*}
  records=${size##*:}
  file="$work/s$n.bin"
  "$py" "$ref" generate "$file" "$records" "$n"
  "$bin/h452-analyze" --format csv --window 1 --no-standard --record-length "$n" "$file" > "$work/h452.csv"
  "$py" "$ref" figures "$file" "$n" --window 1 --out "$work/numpy.csv"
  "$py" "$ref" compare "$work/numpy.csv" "$work/h452.csv" > "$work/compare.txt" \
    || { echo "figures differ at $n samples: $(cat "$work/compare.txt")"; exit 1; }
  read -r npWall npCpu <<< "$(best "$py" "$ref" figures "$file" "$n" --window 1)"
  read -r oneWall oneCpu <<< "$(best "$bin/h452-analyze" --format csv --window 1 --no-standard --threads 1 --record-length "$n" "$file")"
  read -r defWall defCpu <<< "$(best "$bin/h452-analyze" --format csv --window 1 --no-standard --record-length "$n" "$file")"
  read -r stdWall stdCpu <<< "$(best "$bin/h452-analyze" --format csv --window 1 --record-length "$n" "$file")"
  printf '%-8s %8s | %9s / %-9s | %9s / %-9s | %9s / %-9s | %9s / %-9s | %.1fx / %.1fx\n' "$n" "$records" \
    "$npWall" "$npCpu" "$oneWall" "$oneCpu" "$defWall" "$defCpu" "$stdWall" "$stdCpu" \
    "$(awk "BEGIN{print $npWall / $oneWall}")" "$(awk "BEGIN{print $npWall / $defWall}")"
  rm -f "$file"
done
