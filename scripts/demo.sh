#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo application. Without a
# display it saves a screenshot of the main window instead and prints its path.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESK_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
demo="$build/examples/demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/vesk/vesk" --workdir "$demo" "$@"
fi
shot="$build/demo-screenshot.png"
echo "No display found: running headless and saving a screenshot."
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/vesk/vesk" --workdir "$demo" --screenshot "$shot" "$@"
else
  QT_QPA_PLATFORM=offscreen "$build/vesk/vesk" --workdir "$demo" --screenshot "$shot" "$@"
fi
echo "Screenshot of the demo: $shot"
