#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds: first over its seed corpus
# (tests/fuzz/corpus/<target>, the reproductions among them), then on inputs
# it makes from them, kept in BUILD/corpus/<target>. Prints the executions
# and the coverage of each; fails when any target found a crash, a leak,
# undefined behaviour, a hang or a broken promise (its input is kept in
# BUILD/artifacts).
# usage: tests/fuzz/run.sh BUILD SECONDS
set -u
build=$1
seconds=$2
status=0
for target in engine numbers input_file form registry encoding line_editor; do
  work=$build/corpus/$target
  mkdir -p "$work" "$build/artifacts"
  log=$build/fuzz-$target.log
  if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$work" "tests/fuzz/corpus/$target" \
      >"$log" 2>&1; then
    status=1
    echo "fuzz_$target FAILED (see $log):"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -5
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  corpus=$(ls "$work" | wc -l)
  printf '%-12s %10s runs in %ss, coverage %s edges, %s features, corpus %s\n' "$target" "${runs:-?}" "$seconds" \
    "${coverage:-?}" "${features:-?}" "$corpus"
done
exit $status
