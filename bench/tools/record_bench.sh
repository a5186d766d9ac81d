#!/usr/bin/env bash
# Records the emulated board's stream at 512 MB/s through h452-record (the
# same stream, ring and recorder as the window), then checks every word of
# every file against the ramp pattern and writes the same volume with plain
# sequential 8 KiB writes for comparison. Not a test: its figures go to
# docs/benchmarks.md.
#   usage: bench/tools/record_bench.sh [SECONDS (60)] [BUILD_DIR (build)] [FOLDER (a new one under /tmp)]
set -euo pipefail
seconds=${1:-60}
build=${2:-build}
dir=${3:-$(mktemp -d /tmp/h452-record-bench-XXXXXX)}
rate_bytes=512000000
# The recording is deleted before the baseline is written: room for one of
# them, 10 % spare.
need=$(( rate_bytes * seconds * 11 / 10 ))
free=$(( $(df -Pk "$dir" | awk 'NR==2 {print $4}') * 1024 ))
if (( free < need )); then
  echo "record_bench: $dir has $((free / 1000000)) MB free, needs $((need / 1000000)) MB" >&2
  exit 1
fi
trap 'rm -rf "$dir"' EXIT

# 8e6 units of 64 bytes per second: 512 MB/s; the ramp pattern from unit 0.
start=$(date +%s.%N)
set +e
LOMPCIE_BOARDS=1 LOMPCIE_PATTERN=ramp LOMPCIE_STREAM_RATE=8000000 \
  "$build/bin/h452-record" --duration "$seconds" --output "$dir" 2>"$dir/progress.txt" | cat
status=${PIPESTATUS[0]}
set -e
end=$(date +%s.%N)

python3 - "$dir" "$status" "$start" "$end" <<'PY'
import glob, json, os, re, sys
folder, status, start, end = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
# The ramp: word w of the board's stream is w mod 65536 and the recording
# starts at word 0, so group g (16 words) of the stream begins at word 16 g.
# The groups of a file are the stream's except where the ring dropped blocks:
# each part's metadata places every such gap (a capture segment whose
# core:global_index is the stream group its first file group holds), so the
# check picks the pattern up again right after it.
period = 131072
pattern = b"".join((w & 0xFFFF).to_bytes(2, "little") for w in range(65536)) * 2
words = bad = 0
offset = 0
produced = 0   # the stream group the next file group holds
for path in sorted(glob.glob(os.path.join(folder, "*.bin"))):
    meta = json.load(open(path[:-4] + ".sigmf-meta"))
    starts = [(c["core:sample_start"], c.get("core:global_index")) for c in meta["captures"]]
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        for i, (first, global_index) in enumerate(starts):
            if global_index is not None:
                produced = int(global_index)
            last = starts[i + 1][0] if i + 1 < len(starts) else size // 32
            f.seek(int(first) * 32)
            left = (int(last) - int(first)) * 32
            at = (produced * 32) % period
            produced += int(last) - int(first)
            while left > 0:
                chunk = f.read(min(left, period - at))
                if not chunk:
                    break
                if chunk != pattern[at:at + len(chunk)]:
                    bad += len(chunk) // 2  # counted per chunk of at most 128 KiB
                words += len(chunk) // 2
                offset += len(chunk)
                left -= len(chunk)
                at = (at + len(chunk)) % period
lines = open(os.path.join(folder, "progress.txt")).read().replace("\r", "\n").splitlines()
samples = [(float(m.group(1)), int(m.group(2)), int(m.group(3))) for m in
           (re.match(r"\s*([\d.]+) s\s+(\d+) bytes\s+[\d.]+ MB/s\s+(\d+) blocks dropped", l) for l in lines) if m]
stall = run = 0.0
for (t0, b0, _), (t1, b1, _) in zip(samples, samples[1:]):
    run = run + (t1 - t0) if b1 == b0 else 0.0
    stall = max(stall, run)
dropped = samples[-1][2] if samples else -1
seconds = end - start
print(f"recorded {offset / 1e6:.0f} MB in {seconds:.1f} s: {offset / 1e6 / seconds:.0f} MB/s, "
      f"{dropped} blocks dropped, largest stall >= {stall:.1f} s (0.5 s resolution), exit {status}, "
      f"{words} words checked, {bad} in chunks that differ from the pattern (resynchronised after each gap)")
with open(os.path.join(folder, "bytes.txt"), "w") as f:
    f.write(str(offset))
PY
bytes=$(cat "$dir/bytes.txt")
rm -f "$dir"/*.bin "$dir"/*.sigmf-meta
plain_start=$(date +%s.%N)
dd if=/dev/zero of="$dir/plain.bin" bs=8192 count=$(( bytes / 8192 )) conv=fsync status=none
plain_end=$(date +%s.%N)
python3 -c "import sys; b=$bytes; s=$plain_end-$plain_start; print(f'plain sequential 8 KiB writes of the same volume: {b/1e6/s:.0f} MB/s')"
