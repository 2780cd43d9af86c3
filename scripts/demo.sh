#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo application. Without a
# display it saves a screenshot of the main window instead and prints its path.
# --ftp: also starts a local FTP server (pyftpdlib, 127.0.0.1, user "user",
# password "pass") on a free port with a sample folder, for the FTP panel.
# --uploader: also starts the upload service stand-in (client "demo", key
# "demo-key", password "secret") for the Uploader panel, with a throw-away
# data folder holding the earnings catalog.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESK_BUILD_DIR:-$root/build}"
with_ftp=0
with_uploader=0
args=()
for a in "$@"; do
  if [ "$a" = --ftp ]; then with_ftp=1; elif [ "$a" = --uploader ]; then with_uploader=1; else args+=("$a"); fi
done
set -- "${args[@]+"${args[@]}"}"
bash "$root/scripts/build.sh"
demo="$build/examples/demo"
echo "var FTP_DEMO = null;" > "$demo/app/ftp-server.js"
echo "var UPLOADER_DEMO = null;" > "$demo/app/uploader-server.js"

up_pid=
up_dir=
ftp_pid=
ftp_dir=
http_pid=
http_dir=
cleanup() {
  exec 3>&- 2>/dev/null || true
  [ -n "$ftp_pid" ] && kill "$ftp_pid" 2>/dev/null || true
  [ -n "$ftp_dir" ] && rm -rf "$ftp_dir"
  echo "var FTP_DEMO = null;" > "$demo/app/ftp-server.js"
  [ -n "$http_pid" ] && kill "$http_pid" 2>/dev/null || true
  [ -n "$http_dir" ] && rm -rf "$http_dir"
  rm -f "$demo/app/demo-server.js"
  exec 4>&- 2>/dev/null || true
  [ -n "$up_pid" ] && kill "$up_pid" 2>/dev/null || true
  [ -n "$up_dir" ] && rm -rf "$up_dir"
  echo "var UPLOADER_DEMO = null;" > "$demo/app/uploader-server.js"
}
trap cleanup EXIT

if [ $with_ftp = 1 ]; then
  ftp_dir=$(mktemp -d /tmp/vesk-demo-ftp.XXXXXX)
  mkdir -p "$ftp_dir/home/photos/2024" "$ftp_dir/home/releases"
  echo "Sample folder served to the vesk demo." > "$ftp_dir/home/README.txt"
  echo "it's a name with a quote" > "$ftp_dir/home/it's here.txt"
  head -c $((32 * 1024 * 1024)) /dev/urandom > "$ftp_dir/home/photos/big-32MiB.bin"
  cp "$root/examples/demo/app/style.css" "$ftp_dir/home/photos/2024/style.css"
  mkfifo "$ftp_dir/ctl"
  /usr/bin/python3 "$root/tests/vesk/qftp/qftp/ftpserver.py" 127.0.0.1 "$ftp_dir/home" \
    < "$ftp_dir/ctl" > "$ftp_dir/port" &
  ftp_pid=$!
  exec 3> "$ftp_dir/ctl"
  for _ in $(seq 100); do grep -q PORT "$ftp_dir/port" 2>/dev/null && break; sleep 0.1; done
  port=$(awk '/PORT/ {print $2}' "$ftp_dir/port")
  [ -n "$port" ] || { echo "FTP server did not start (python3-pyftpdlib needed)" >&2; exit 1; }
  echo "var FTP_DEMO = {host: '127.0.0.1', port: $port, user: 'user', password: 'pass'};" > "$demo/app/ftp-server.js"
  echo "Local FTP server on 127.0.0.1:$port (user/pass), sample folder $ftp_dir/home"
fi

if [ $with_uploader = 1 ]; then
  up_dir=$(mktemp -d /tmp/vesk-demo-uploader.XXXXXX)
  mkdir -p "$up_dir/out" "$up_dir/share/vesk/data"
  cat > "$up_dir/config.json" <<EOF2
{"out": "$up_dir/out", "earnings": {"today": "2024-05-02", "currency": "EUR", "value": 1234.5, "rate": 0.5,
 "data": "2024-04-30:3.25:1|2024-05-01:12.5:3|2024-05-02:0.75:1"}}
EOF2
  mkfifo "$up_dir/ctl"
  /usr/bin/python3 "$root/tests/KorvalenUploader/uploader_standin.py" "$up_dir/config.json" \
    < "$up_dir/ctl" > "$up_dir/log" &
  up_pid=$!
  exec 4> "$up_dir/ctl"
  for _ in $(seq 100); do [ -s "$up_dir/log" ] && break; sleep 0.1; done
  up_port=$(head -n1 "$up_dir/log")
  [ -n "$up_port" ] || { echo "upload stand-in did not start" >&2; exit 1; }
  export VESK_UPLOADER_ENDPOINT="http://127.0.0.1:$up_port/"
  # The plug-in keeps its catalog under the data folder; the demo's is thrown away.
  export XDG_DATA_HOME="$up_dir/share"
  echo "var UPLOADER_DEMO = {catalog: '$up_dir/share/vesk/data/catalog.dat'};" > "$demo/app/uploader-server.js"
  echo "Upload stand-in on $VESK_UPLOADER_ENDPOINT (demo/demo-key/secret), uploads land in $up_dir/out"
fi

# A small local HTTP server for the "Network and widgets" panel; the page falls
# back to a file URL when none runs.
rm -f "$demo/app/demo-server.js"
if command -v python3 >/dev/null; then
  http_dir="$(mktemp -d)"
  head -c $((32 * 1048576)) /dev/urandom > "$http_dir/sample.bin"
  http_port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
  python3 -m http.server --bind 127.0.0.1 --directory "$http_dir" "$http_port" >/dev/null 2>&1 &
  http_pid=$!
  echo "window.demoServer = 'http://127.0.0.1:$http_port/';" > "$demo/app/demo-server.js"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$build/vesk/vesk" --workdir "$demo" "$@"
  exit $?
fi
shot="$build/demo-screenshot.png"
echo "No display found: running headless and saving a screenshot."
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/vesk/vesk" --workdir "$demo" --screenshot "$shot" "$@"
else
  QT_QPA_PLATFORM=offscreen "$build/vesk/vesk" --workdir "$demo" --screenshot "$shot" "$@"
fi
echo "Screenshot of the demo: $shot"
