#!/usr/bin/env bash
# 40 MiB through the four-part upload flow, vesk's client against Python's
# xmlrpc.client, both to the same stand-in service in the same run.
# Usage: bench/uploader/run.sh [BUILD_DIR] [MiB]   (ROUNDS=3; the figures are medians)
# BEFORE=path/to/an/older/uploader-bench takes its turn in every round too.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build=${1:-$root/build}
mib=${2:-40}
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
head -c $((mib * 1048576)) /dev/urandom > "$work/photo.bin"
echo '{}' > "$work/config.json"
mkfifo "$work/ctl"
python3 "$root/tests/KorvalenUploader/uploader_standin.py" "$work/config.json" < "$work/ctl" > "$work/log" &
pid=$!
exec 3> "$work/ctl"
for _ in $(seq 100); do [ -s "$work/log" ] && break; sleep 0.1; done
endpoint="http://127.0.0.1:$(head -n1 "$work/log")/"
echo "file: $mib MiB, service $endpoint"
rounds=${ROUNDS:-3}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
VT=(); VP=(); PT=(); PP=(); BT=(); BP=()
for _ in $(seq "$rounds"); do
  if [ -n "${BEFORE:-}" ]; then
    VESK_UPLOADER_ENDPOINT=$endpoint QT_QPA_PLATFORM=offscreen "$BEFORE" "$work/photo.bin" | sed 's/^vesk  /before/' \
      | tee "$work/before.txt"
    BT+=("$(awk '{print $2}' "$work/before.txt")"); BP+=("$(awk '{print $5}' "$work/before.txt")")
  fi
  VESK_UPLOADER_ENDPOINT=$endpoint QT_QPA_PLATFORM=offscreen "$build/bench/uploader/uploader-bench" "$work/photo.bin" \
    | tee "$work/vesk.txt"
  python3 "$root/bench/uploader/bench_python.py" "$endpoint" "$work/photo.bin" | tee "$work/python.txt"
  VT+=("$(awk '{print $2}' "$work/vesk.txt")"); VP+=("$(awk '{print $5}' "$work/vesk.txt")")
  PT+=("$(awk '{print $2}' "$work/python.txt")"); PP+=("$(awk '{print $5}' "$work/python.txt")")
done
v=$(median "${VT[@]}"); p=$(median "${PT[@]}")
echo "median of $rounds rounds: vesk $v s peak $(median "${VP[@]}") MiB, python $p s peak $(median "${PP[@]}") MiB"
echo "time ratio vesk/python: $(python3 -c "print(round($v / $p, 2))"), vesk peak / file: $(python3 -c "print(round($(median "${VP[@]}") / $mib, 2))")"
if [ -n "${BEFORE:-}" ]; then
  b=$(median "${BT[@]}")
  echo "before: $b s peak $(median "${BP[@]}") MiB, time ratio before/python: $(python3 -c "print(round($b / $p, 2))")"
fi
