#!/usr/bin/env bash
# The dictionary import against a bare bulk load, 1,000,000 records.
# Usage: bench/tagimport/run.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-$(mktemp -d)}
bench=$build/bench/tagimport/tagimport-bench
tool=$build/tools/koupdater-import/koupdater-import
mkdir -p "$work"

[ -f "$work/dictionary-a.txt" ] || "$bench" generate "$work"
ls -l "$work"/dictionary-*.txt

for index in "" index; do
  "$bench" run "$work" $index
done

# Peak memory of the import alone, as the plug-in would run it.
peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'; }
"$bench" schema "$work/memory.db"
echo "peak memory, first import: $(( $(peak "$tool" "$work/memory.db" "$work/dictionary-a.txt") / 1024 )) MiB"
echo "peak memory, re-import:    $(( $(peak "$tool" "$work/memory.db" "$work/dictionary-b.txt") / 1024 )) MiB"
