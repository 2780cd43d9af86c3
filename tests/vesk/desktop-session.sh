#!/usr/bin/env bash
# desktop-session.sh [--without-dunst] PROGRAM [ARGS...]: runs a test program on a
# session bus and an X display of its own (dbus-run-session, Xvfb), with Debian's
# dunst as the notification service (unless told otherwise) and trayer as the
# tray. What cannot start is left out; the program skips what needs it, told by
# VESK_TEST_BUS, VESK_TEST_DUNST and VESK_TEST_TRAY. The developer's own bus and
# display are never used, and the bus starts no service on demand.
set -u
have() { command -v "$1" >/dev/null 2>&1; }

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}

if [[ ${1-} != --inside ]]; then
  dunst=yes
  if [[ ${1-} == --without-dunst ]]; then
    dunst=no
    shift
  fi
  unset DBUS_SESSION_BUS_ADDRESS VESK_TEST_BUS VESK_TEST_DUNST VESK_TEST_TRAY
  if ! have dbus-run-session || ! have Xvfb; then
    echo "desktop-session: dbus-run-session or Xvfb is missing (scripts/install-deps.sh installs them)" >&2
    exec "$@"
  fi
  # The display first, so that services the bus starts on demand find it too.
  trap cleanup EXIT
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
  if [[ ! -s $work/display ]]; then
    echo "desktop-session: Xvfb did not start: $(cat "$work/xvfb.log")" >&2
    "$@"
    exit
  fi
  export DISPLAY=:$(head -n1 "$work/display")
  # The usual session bus without its service folders.
  cat >"$work/bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  dbus-run-session --config-file="$work/bus.conf" -- bash "$0" --inside "$dunst" "$@"
  exit
fi
dunst=$2
shift 2
trap cleanup EXIT

export QT_QPA_PLATFORM=xcb VESK_TEST_BUS=1

if [[ $dunst == no ]]; then
  echo "desktop-session: without a notification service, as asked" >&2
elif have dunst && have dunstctl; then
  cat >"$work/dunstrc" <<'RC'
[global]
    timeout = 0
    idle_threshold = 0
    notification_limit = 3
    mouse_left_click = do_action, close_current
[urgency_low]
    timeout = 0
[urgency_normal]
    timeout = 0
[urgency_critical]
    timeout = 0
RC
  dunst -conf "$work/dunstrc" >"$work/dunst.log" 2>&1 &
  pids+=($!)
  # Asked without starting it on demand.
  owned() {
    dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null | grep -q true
  }
  for _ in $(seq 100); do owned && break; sleep 0.1; done
  if owned; then
    export VESK_TEST_DUNST=1
  else
    echo "desktop-session: dunst did not start: $(cat "$work/dunst.log")" >&2
  fi
else
  echo "desktop-session: dunst is missing; notification tests skip" >&2
fi

if have trayer; then
  trayer --edge top --align right --width 10 --height 24 >"$work/trayer.log" 2>&1 &
  pids+=($!)
  export VESK_TEST_TRAY=1
else
  echo "desktop-session: trayer is missing; tray tests skip" >&2
fi

"$@"
