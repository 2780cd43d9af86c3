#!/usr/bin/env bash
# The 1,000,000-record import from a page (lkoupdater.updateData) against
# koupdater-import on the same files, taking turns, each into a fresh database.
# Usage: bench/plugin/run.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-$(mktemp -d)}
gen=$build/bench/tagimport/tagimport-bench
tool=$build/tools/koupdater-import/koupdater-import
page=$build/bench/plugin/koupdater-page-bench
plugin=$build/libs/KOUpdater.so
mkdir -p "$work"
[ -f "$work/dictionary-a.txt" ] || "$gen" generate "$work" >/dev/null

for round in 1 2 3; do
  rm -f "$work/tool.db" "$work/page.db"
  "$gen" schema "$work/tool.db" >/dev/null
  "$gen" schema "$work/page.db" >/dev/null
  start=$(date +%s.%N)
  "$tool" "$work/tool.db" "$work/dictionary-a.txt" >/dev/null
  end=$(date +%s.%N)
  echo "round $round tool: $(echo "$end - $start" | bc) s wall"
  echo "round $round $("$page" "$plugin" "$work/page.db" "$work/dictionary-a.txt")"
done
