#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 30). An input that
# crashes or hangs a target is written to tests/fuzz/regressions/<target>/: commit it with the
# fix, and ctest replays it on every build from then on.
# Usage: tests/fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALY_CORE_ONLY=ON -DTESSALY_FUZZ=ON -DTESSALY_ASSERTIONS=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build_dir" --target fuzz_targets

failed=0
for target in "$build_dir"/tests/fuzz/fuzz_*; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target")
  corpus="tests/fuzz/corpus-$name"
  regressions="tests/fuzz/regressions/$name"
  mkdir -p "$corpus" "$regressions"
  echo "== $name for ${seconds}s"
  # The corpus folder comes first: libFuzzer adds the inputs it finds there, not to the seeds.
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$regressions/" "$corpus" tests/fuzz/seeds "$regressions" \
       2>"$build_dir/$name.log"; then
    tail -n 40 "$build_dir/$name.log"
    echo "$name failed: commit the input it wrote to $regressions/ with the fix"
    ls "$regressions"
    failed=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$build_dir/$name.log" | tail -n 2
  fi
done
exit $failed
