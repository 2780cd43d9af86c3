#!/usr/bin/env bash
# 40 MiB through the four-part upload flow, vesk's client against Python's
# xmlrpc.client, both to the same stand-in service in the same run.
# Usage: bench/uploader/run.sh [BUILD_DIR] [MiB]
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
for round in 1 2; do
  VESK_UPLOADER_ENDPOINT=$endpoint QT_QPA_PLATFORM=offscreen "$build/bench/uploader/uploader-bench" "$work/photo.bin" \
    | tee "$work/vesk.txt"
  python3 "$root/bench/uploader/bench_python.py" "$endpoint" "$work/photo.bin" | tee "$work/python.txt"
done
v=$(awk '{print $2}' "$work/vesk.txt"); p=$(awk '{print $2}' "$work/python.txt")
echo "time ratio vesk/python (last round): $(python3 -c "print(round($v / $p, 2))")"
