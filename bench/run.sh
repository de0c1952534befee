#!/usr/bin/env bash
# Runs every benchmark (bench/*/run.sh) and prints one table: each figure, its floor measured
# in the same run, their ratio and the conditions. Each benchmark's own report goes to
# build/bench/<name>.log. Judges nothing. Arguments are passed to no one; set
# QUORVANT_BENCH_ONLY="monitor button" to run some of them.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
logs="$root/build/bench"
mkdir -p "$logs"
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT

for script in "$root"/bench/*/run.sh; do
  name=$(basename "$(dirname "$script")")
  if [[ -n ${QUORVANT_BENCH_ONLY:-} && " $QUORVANT_BENCH_ONLY " != *" $name "* ]]; then continue; fi
  echo "bench: $name ..." >&2
  start=$SECONDS
  if bash "$script" >"$logs/$name.log" 2>&1; then
    grep -a '^@table ' "$logs/$name.log" | tr -d '\r' | sed 's/^@table //' >>"$rows"
  else
    echo "$name: failed (see $logs/$name.log)|||n/a|" >>"$rows"
  fi
  echo "bench: $name took $((SECONDS - start)) s" >&2
done

echo
echo "Benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) cores, load average" \
  "$(cut -d' ' -f1-3 /proc/loadavg), $(wine --version 2>/dev/null || echo 'no wine')"
awk -F'|' '
  { for (i = 1; i <= 5; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
  END {
    split("figure|value|floor|ratio|conditions", head, "|")
    for (i = 1; i <= 5; i++) if (length(head[i]) > w[i]) w[i] = length(head[i])
    line = ""
    for (i = 1; i <= 5; i++) line = line sprintf("%-" w[i] "s  ", head[i])
    print line
    for (r = 1; r <= NR; r++) {
      line = ""
      for (i = 1; i <= 5; i++) line = line sprintf("%-" w[i] "s  ", cell[r, i])
      print line
    }
  }' "$rows"
