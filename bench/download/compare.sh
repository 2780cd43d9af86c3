#!/bin/sh
# A download from lighttpd on a loopback port, through a page's _download and
# through curl -o, in the same run. Target: at least 0.8x curl's throughput and
# a peak memory under 150 MiB whatever the size.
# Usage: bench/download/compare.sh [SIZE_MIB] [BUILD_DIR]
set -eu
SIZE=${1:-1024}
BUILD=${2:-build}
BENCH="$BUILD/bench/download/download-bench"
LIGHTTPD=$(command -v lighttpd || echo /usr/sbin/lighttpd)
[ -x "$LIGHTTPD" ] || { echo "needs lighttpd (apt-get install lighttpd)"; exit 2; }
[ -x "$BENCH" ] || { echo "build the download-bench target first"; exit 2; }

WORK=$(mktemp -d)
trap 'kill "$SERVER" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir "$WORK/www"
head -c "$((SIZE * 1048576))" /dev/urandom > "$WORK/www/file.bin"
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$WORK/lighttpd.conf" <<CONF
server.document-root = "$WORK/www"
server.bind = "127.0.0.1"
server.port = $PORT
server.errorlog = "$WORK/error.log"
CONF
"$LIGHTTPD" -D -f "$WORK/lighttpd.conf" &
SERVER=$!
sleep 0.5
URL="http://127.0.0.1:$PORT/file.bin"

curl -s -o "$WORK/curl.bin" -w 'curl -o: %{size_download} bytes in %{time_total} s = %{speed_download} B/s\n' "$URL"
rm -f "$WORK/curl.bin"
QT_QPA_PLATFORM=offscreen "$BENCH" "$URL" "$WORK/vesk.bin"
cmp -s "$WORK/vesk.bin" "$WORK/www/file.bin" && echo "file identical" || echo "FILE DIFFERS"
