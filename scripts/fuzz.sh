#!/usr/bin/env bash
# Coverage-guided fuzzing of the input parsers and record formatters: builds the libFuzzer
# targets of fuzz/ with clang++ in build-fuzz and runs every one of them for a bounded time,
# two at a time.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]     (default 60)
#
# Each target starts from a scratch copy of its seeds (fuzz/corpus/<target>/), so the inputs
# it finds interesting stay out of the repository. Prints per target the runs done and
# whether it found anything. A finding (crash, sanitizer report, failed check, leak, hang)
# makes the exit status 1; its input is kept in build-fuzz/findings/<target>/ and
# build-fuzz/<target> FILE runs it again.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS_PER_TARGET]" >&2
  exit 2
fi

scripts/install-deps.sh
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DENABLE_FUZZING=ON -DVESTRAGEN_WERROR=ON \
  >/dev/null
cmake --build build-fuzz -j2 --target fuzz_targets
mapfile -t targets <build-fuzz/fuzz-targets.txt

runs=build-fuzz/fuzz-run
findings=build-fuzz/findings
rm -rf "$runs"
mkdir -p "$runs" "$findings"
# The targets write small files on every run: tmpfs spares the disk and makes the tool's
# fsync cheap. Every target process gets a directory of its own below this one.
scratch_base=$runs
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_base=/dev/shm; fi
scratch=$(mktemp -d "$scratch_base/vestragen-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

run_target() {
  local target=$1 dir=$runs/$1
  mkdir -p "$dir/corpus" "$scratch/$target" "$findings/$target"
  if [ -d "fuzz/corpus/$target" ]; then cp -R "fuzz/corpus/$target/." "$dir/corpus/"; fi
  touch "$dir/started"
  local status=0
  # -timeout: a single input running that long is a hang; a run takes milliseconds.
  TMPDIR="$scratch/$target" "build-fuzz/$target" -max_total_time="$seconds" -timeout=30 \
    -print_final_stats=1 -artifact_prefix="$findings/$target/" "$dir/corpus" \
    >"$dir/log" 2>&1 || status=$?
  echo "$status" >"$dir/status"
}

echo "Fuzzing ${#targets[@]} targets for $seconds s each, two at a time."
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n || true; done
  run_target "$target" &
done
wait

found=0
for target in "${targets[@]}"; do
  dir=$runs/$target
  status=$(cat "$dir/status")
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  if [ -z "$executed" ]; then
    executed=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$dir/log" | tail -n 1)
  fi
  # Slow inputs are reported by libFuzzer but are no finding.
  new=$(find "$findings/$target" -type f -newer "$dir/started" ! -name 'slow-unit-*' | sort)
  if [ "$status" -eq 0 ] && [ -z "$new" ]; then
    printf '%-20s %10s runs, nothing found\n' "$target" "${executed:-0}"
    continue
  fi
  found=1
  printf '%-20s %10s runs, FOUND something (status %s); log: %s\n' "$target" "${executed:-0}" \
    "$status" "$dir/log"
  grep -E '^(fuzz: check failed|SUMMARY: |==[0-9]+==ERROR: )' "$dir/log" | head -n 5 |
    sed 's/^/    /' || true
  for file in $new; do echo "    input kept: $file"; done
done
exit "$found"
