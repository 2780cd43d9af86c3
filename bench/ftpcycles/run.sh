#!/usr/bin/env bash
# 1,000 FTP connect/login/close cycles from a page against a local pyftpdlib
# server; prints resident memory before and after.
# Usage: bench/ftpcycles/run.sh [CYCLES]   (default 1000; BUILD=build)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}
BENCH=$BUILD/bench/ftpcycles/ftp-cycles-bench
[ -x "$BENCH" ] || { echo "build ftp-cycles-bench first: cmake --build build --target ftp-cycles-bench" >&2; exit 2; }
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
SIZE_MIB=1
. "$ROOT/bench/ftp/local-server.sh"
"$BENCH" "$PORT" "${1:-1000}"
