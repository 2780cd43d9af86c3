#!/usr/bin/env bash
# Compares ftp-bench with curl against a local pyftpdlib server, both
# directions, passive and active, in one run.
# Each cell is the median of RUNS runs (default 3), as single samples on a
# shared machine swing a lot; the RSS column is the largest of the runs.
# Usage: bench/ftp/compare.sh [SIZE_MIB]   (default 1024; BUILD=build, RUNS=3 by default)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}
SIZE_MIB=${1:-1024}
BENCH=$BUILD/bench/ftp/ftp-bench
[ -x "$BENCH" ] || { echo "build ftp-bench first: cmake --build build --target ftp-bench" >&2; exit 2; }

. "$ROOT/bench/ftp/local-server.sh"

RUNS=${RUNS:-3}
echo "median of $RUNS runs per cell, engine and curl taking turns"
printf '%-8s %-4s %10s %10s %7s %12s\n' mode dir engineMB/s curlMB/s ratio engineRSS-KiB
for mode in passive active; do
  EFLAG=(); CFLAG=()
  [ $mode = active ] && EFLAG=(--active) && CFLAG=(-P -)
  for dir in get put; do
    EMBS=(); CMBS=(); RSS=0
    for _ in $(seq "$RUNS"); do
      if [ $dir = get ]; then
        E=$("$BENCH" get "$URL/src.bin" "$WORK/dl.bin" "${EFLAG[@]}")
        check "$WORK/dl.bin"
        C=$(curl -s -S "${CFLAG[@]}" -o "$WORK/dl.bin" -w '%{speed_download}' "$URL/src.bin")
        check "$WORK/dl.bin"
      else
        E=$("$BENCH" put "$URL/up.bin" "$WORK/home/src.bin" "${EFLAG[@]}")
        check "$WORK/home/up.bin"
        C=$(curl -s -S "${CFLAG[@]}" -T "$WORK/home/src.bin" -w '%{speed_upload}' "$URL/up.bin")
        check "$WORK/home/up.bin"
      fi
      EMBS+=("$(echo "$E" | awk '{print $6}')")
      R=$(echo "$E" | awk '{print $8}')
      [ "$R" -gt "$RSS" ] && RSS=$R
      CMBS+=("$(awk -v s="$C" 'BEGIN {printf "%.1f", s / 1e6}')")
    done
    EMB=$(median "${EMBS[@]}")
    CMB=$(median "${CMBS[@]}")
    RATIO=$(awk -v e="$EMB" -v c="$CMB" 'BEGIN {printf "%.2f", (c > 0 ? e / c : 0)}')
    printf '%-8s %-4s %10s %10s %7s %12s\n' $mode $dir "$EMB" "$CMB" "$RATIO" "$RSS"
  done
done
