#!/usr/bin/env bash
# Long fuzz runs. Each target runs for FUZZ_TIME seconds (default 600), FUZZ_JOBS targets at a time
# (default 1), starting from its committed seeds and growing fuzz/corpus-run/<target>, which is kept
# between runs and never committed. Crashes, hangs and leaks land in fuzz/corpus-run/artifacts/; each
# target's log is fuzz/corpus-run/<target>.log. A summary line per target gives the executions and the
# coverage libFuzzer reached (cov: edges, ft: features).
#
#   fuzz/run.sh [target ...]        targets: flash block holemap memconfig hoblist print (default: all)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/build/fuzz/fuzz/fuzzers.txt
out=$root/fuzz/corpus-run
time=${FUZZ_TIME:-600}
jobs=${FUZZ_JOBS:-1}
[ -f "$list" ] || { echo "no fuzz build: run 'make fuzz' (or cmake --preset fuzz && cmake --build --preset fuzz)"; exit 2; }
mkdir -p "$out/artifacts"

run_one() {
  name=$1 bin=$2 maxlen=$3
  mkdir -p "$out/$name"
  rm -f "$out/artifacts/$name-"*
  dict=
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=-dict=$root/fuzz/dict/$name.dict
  "$bin" -max_total_time="$time" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$name-" $dict "$out/$name" "$root/fuzz/corpus/$name" >"$out/$name.log" 2>&1
  status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log" | tail -1)
  final=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$out/$name.log" | tail -1)
  cov=$(echo "$final" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$final" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')
  found=$(ls "$out/artifacts" | grep -c "^$name-" || true)
  echo "$name: exit $status, ${execs:-?} executions in ${time}s, cov ${cov:-?}, ft ${ft:-?}, artifacts $found (log $out/$name.log)"
  return $status
}

failed=0
running=0
while read -r name bin maxlen; do
  if [ $# -gt 0 ] && ! echo " $* " | grep -q " $name "; then continue; fi
  run_one "$name" "$bin" "$maxlen" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done <"$list"
wait
ls "$out/artifacts" | grep -q . && { echo "findings in $out/artifacts:"; ls "$out/artifacts"; failed=1; }
exit $failed
