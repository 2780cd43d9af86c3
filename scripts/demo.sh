#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo application. Without a
# display it saves a screenshot of the main window instead and prints its path.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESK_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
demo="$build/examples/demo"
# A small local HTTP server for the "Network and widgets" panel; the page falls
# back to a file URL when none runs.
rm -f "$demo/app/demo-server.js"
if command -v python3 >/dev/null; then
  serve="$(mktemp -d)"
  head -c $((32 * 1048576)) /dev/urandom > "$serve/sample.bin"
  port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
  python3 -m http.server --bind 127.0.0.1 --directory "$serve" "$port" >/dev/null 2>&1 &
  server=$!
  trap 'kill "$server" 2>/dev/null; rm -rf "$serve"' EXIT
  echo "window.demoServer = 'http://127.0.0.1:$port/';" > "$demo/app/demo-server.js"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$build/vesk/vesk" --workdir "$demo" "$@"
  exit
fi
shot="$build/demo-screenshot.png"
echo "No display found: running headless and saving a screenshot."
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/vesk/vesk" --workdir "$demo" --screenshot "$shot" "$@"
else
  QT_QPA_PLATFORM=offscreen "$build/vesk/vesk" --workdir "$demo" --screenshot "$shot" "$@"
fi
echo "Screenshot of the demo: $shot"
