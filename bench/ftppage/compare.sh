#!/usr/bin/env bash
# A page's download and upload (app._ftpGet / app._ftpPut with a progress
# callback) against curl on the same local pyftpdlib server, in one run.
# Each cell is the median of RUNS runs (default 3).
# Usage: bench/ftppage/compare.sh [SIZE_MIB]   (default 256; BUILD=build, RUNS=3)
# BEFORE=path/to/an/older/ftp-page-bench takes its turn in every round too, for
# before-and-after figures from one run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}
SIZE_MIB=${1:-256}
BENCH=$BUILD/bench/ftppage/ftp-page-bench
[ -x "$BENCH" ] || { echo "build ftp-page-bench first: cmake --build build --target ftp-page-bench" >&2; exit 2; }
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

. "$ROOT/bench/ftp/local-server.sh"

RUNS=${RUNS:-3}
echo "median of $RUNS runs per cell, page and curl taking turns"
BEFORE=${BEFORE:-}
printf '%-4s %10s %10s %7s %10s %12s' dir pageMB/s curlMB/s ratio progress maxGap-ms
[ -n "$BEFORE" ] && printf ' %10s %7s' beforeMB/s ratio
printf '\n'
for dir in get put; do
  PMBS=(); CMBS=(); BMBS=(); CALLS=0; GAP=0
  for _ in $(seq "$RUNS"); do
    if [ -n "$BEFORE" ]; then
      if [ $dir = get ]; then
        B=$("$BEFORE" get "$PORT" src.bin "$WORK/dl.bin")
        check "$WORK/dl.bin"
      else
        B=$("$BEFORE" put "$PORT" up.bin "$WORK/home/src.bin")
        check "$WORK/home/up.bin"
      fi
      BMBS+=("$(echo "$B" | awk '{print $6}')")
    fi
    if [ $dir = get ]; then
      P=$("$BENCH" get "$PORT" src.bin "$WORK/dl.bin")
      check "$WORK/dl.bin"
      C=$(curl -s -S -o "$WORK/dl.bin" -w '%{speed_download}' "$URL/src.bin")
      check "$WORK/dl.bin"
    else
      P=$("$BENCH" put "$PORT" up.bin "$WORK/home/src.bin")
      check "$WORK/home/up.bin"
      C=$(curl -s -S -T "$WORK/home/src.bin" -w '%{speed_upload}' "$URL/up.bin")
      check "$WORK/home/up.bin"
    fi
    PMBS+=("$(echo "$P" | awk '{print $6}')")
    CALLS=$(echo "$P" | awk '{print $8}')
    G=$(echo "$P" | awk '{print $10}')
    [ "$G" -gt "$GAP" ] && GAP=$G
    CMBS+=("$(awk -v s="$C" 'BEGIN {printf "%.1f", s / 1e6}')")
  done
  PMB=$(median "${PMBS[@]}")
  CMB=$(median "${CMBS[@]}")
  RATIO=$(awk -v e="$PMB" -v c="$CMB" 'BEGIN {printf "%.2f", (c > 0 ? e / c : 0)}')
  printf '%-4s %10s %10s %7s %10s %12s' $dir "$PMB" "$CMB" "$RATIO" "$CALLS" "$GAP"
  if [ -n "$BEFORE" ]; then
    BMB=$(median "${BMBS[@]}")
    printf ' %10s %7s' "$BMB" "$(awk -v e="$BMB" -v c="$CMB" 'BEGIN {printf "%.2f", (c > 0 ? e / c : 0)}')"
  fi
  printf '\n'
  echo "  runs: page ${PMBS[*]} | curl ${CMBS[*]}${BEFORE:+ | before ${BMBS[*]}}" >&2
done
