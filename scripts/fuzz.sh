#!/usr/bin/env bash
# Builds the libFuzzer targets, the registry file parser's and the command
# line's, and runs each for a bounded time (20 seconds by default, or the
# first argument) from its seed corpus in fuzz/corpus. Fails on any crash,
# leak, sanitizer report or broken property.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
# Each target with its seed folder.
for target_seeds in reg_file:reg command_line:command_line; do
  target=${target_seeds%%:*}
  seeds=fuzz/corpus/${target_seeds#*:}
  # New inputs go to a corpus in the build folder; the seeds stay as they are.
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  log=build/fuzz/$target.log
  echo "== fuzzing $target for ${seconds}s"
  if ! build/fuzz/fuzz/${target}_fuzzer -max_total_time="$seconds" \
      -print_final_stats=1 "$work" "$seeds" >"$log" 2>&1; then
    tail -40 "$log"
    echo "$target: the fuzzer found a fault; the input is in the log above"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" || true
done
