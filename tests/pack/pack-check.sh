#!/bin/sh
# vesk-pack end to end: a package of the demo, extracted into a temporary root, its
# launcher run headless twice as an unprivileged user (what one run writes to the
# settings, a database and web storage is there in the next); then every command and
# file of docs/first-application.md, in order.
set -eu
build="$1"
src="$2"
command -v dpkg-deb >/dev/null 2>&1 || { echo "SKIP: dpkg-deb is missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "FAIL: $*"; exit 1; }
export QT_QPA_PLATFORM=offscreen

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/vesk-pack" ] || fail "vesk-pack is not installed"

# The demo as built: app/ and the plug-ins staged into libs/.
"$prefix/bin/vesk-pack" --output "$work" --maintainer "Test <test@localhost>" "$build/examples/demo" \
  >"$work/pack.log" 2>&1 || { cat "$work/pack.log"; fail "vesk-pack failed on the demo"; }
deb=$(cat "$work/pack.log")
[ -f "$deb" ] || fail "vesk-pack did not name the package it wrote: $deb"
[ "$(dpkg-deb -f "$deb" Package)" = vesk-demo ] || fail "the package is not named after the manifest's id"
dpkg-deb -f "$deb" Depends | grep -q '^vesk (>= ' || fail "no dependency on vesk: $(dpkg-deb -f "$deb" Depends)"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "plug-ins in an arch-all package"
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/vesk-demo ./usr/share/vesk-demo/app/init.html ./usr/share/vesk-demo/app/vesk.json \
         ./usr/share/vesk-demo/libs/KOUpdater.so ./usr/share/applications/vesk-demo.desktop \
         ./usr/share/pixmaps/vesk-demo.svg; do
  echo "$contents" | grep -q " $f\$" || fail "$f is not in the package"
done
echo "$contents" | grep -v ' root/root ' && fail "files in the package not owned by root"
echo "$contents" | grep -q '^-rwxr-xr-x .* ./usr/bin/vesk-demo$' || fail "the launcher is not executable"

# Folders vesk-pack must refuse, making no package.
for case in no-version vesk-id link-in-app fifo-in-app no-manifest; do
  bad="$work/bad-$case"
  mkdir -p "$bad/app"
  echo '<html></html>' >"$bad/app/init.html"
  echo '{"id": "bad-app", "version": "1.0"}' >"$bad/app/vesk.json"
  case $case in
    no-version) echo '{"id": "bad-app"}' >"$bad/app/vesk.json" ;;
    vesk-id) echo '{"id": "vesk", "version": "1.0"}' >"$bad/app/vesk.json" ;;
    link-in-app) ln -s /etc/passwd "$bad/app/passwd" ;;
    fifo-in-app) mkfifo "$bad/app/pipe" ;;
    no-manifest) rm "$bad/app/vesk.json" ;;
  esac
  if timeout 60 "$prefix/bin/vesk-pack" --output "$bad" "$bad" >"$work/bad.log" 2>&1; then
    fail "vesk-pack made a package of $case"
  fi
  grep -q '^vesk-pack: ' "$work/bad.log" || fail "vesk-pack said nothing about $case: $(cat "$work/bad.log")"
  ls "$bad"/*.deb >/dev/null 2>&1 && fail "vesk-pack left a package for $case"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$root/usr/share/applications/vesk-demo.desktop" || fail "the desktop file is not valid"
fi

# As a user who cannot write the installed files (CI runs as root).
home="$work/home"
mkdir -p "$home"; chmod 700 "$home"
as_user() { env HOME="$home" PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" "$@"; }
if [ "$(id -u)" = 0 ]; then
  if chown nobody "$home" 2>/dev/null && setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null; then
    as_user() {
      setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$home" PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" "$@"
    }
  else
    echo "SKIP: cannot run as an unprivileged user"
    exit 77
  fi
fi
data="$home/.local/share/vesk-demo"
for run in 1 2; do
  as_user timeout 120 "$root/usr/bin/vesk-demo" --screenshot "$home/shot$run.png" >"$work/run$run.log" 2>&1 \
    || { cat "$work/run$run.log"; fail "run $run of the installed demo failed"; }
  grep 'vesk: ' "$work/run$run.log" | grep -v 'screenshot saved' && fail "run $run reported a problem"
done
[ "$(readlink "$data/app")" = "$root/usr/share/vesk-demo/app" ] || fail "app/ is not the installed one: $(readlink "$data/app")"
[ "$(readlink "$data/libs")" = "$root/usr/share/vesk-demo/libs" ] || fail "libs/ is not the installed one"
grep -qx 'visits=2' "$data/config.ini" || fail "the setting of the first run is not in the second: $(cat "$data/config.ini")"
if command -v python3 >/dev/null 2>&1; then
  python3 - "$data" <<'PY' || fail "the database or web storage of the first run is not in the second"
import glob, sqlite3, sys
data = sys.argv[1]
starts = sqlite3.connect(data + '/notes.db').execute('SELECT count(*) FROM start').fetchone()[0]
assert starts == 2, 'notes.db has %d starts' % starts
stores = glob.glob(data + '/web-storage/LocalStorage/*.localstorage')
assert stores, 'no local storage file'
value = sqlite3.connect(stores[0]).execute("SELECT value FROM ItemTable WHERE key='demo.visits'").fetchone()[0]
assert value.decode('utf-16-le') == '2', 'localStorage holds %r' % value
PY
fi

# The guide: file blocks ("```LANG PATH") are written, command blocks ("```sh") run, in
# order. vesk is the installed one in $prefix, the package is extracted rather than
# installed, and a program that keeps running (the application itself) passes when it
# is still running after a few seconds.
guide="$src/docs/first-application.md"
# tst_typescript keeps a tsc from npm in the build tree.
[ -x "$build/npm/typescript/node_modules/.bin/tsc" ] && PATH="$build/npm/typescript/node_modules/.bin:$PATH"
cd "$work" && mkdir guide && cd guide
mkdir "$work/steps"
awk -v out="$work/steps" '
  /^```/ && !inblock { inblock = 1; n++; split(substr($0, 4), a, " ");
                       file = sprintf("%s/%03d.%s", out, n, a[2] == "" ? a[1] : "file");
                       if (a[2] != "") print a[2] > (file ".path"); next }
  /^```/ && inblock { inblock = 0; next }
  inblock { print > file }
' "$guide"
for step in "$work"/steps/*; do
  case "$step" in
    *.path) continue ;;
    *.file) mkdir -p "$(dirname "$(cat "$step.path")")"; cp "$step" "$(cat "$step.path")" ;;
    *.sh)
      while IFS= read -r line; do
        [ -n "$line" ] || continue
        line=$(echo "$line" | sed -e "s#/usr/share/doc/vesk#$prefix/share/doc/vesk#g" \
                                  -e "s#^sudo apt install \(.*\)#dpkg-deb -x \1 $work/guide-root#" \
                                  -e "s#^notes\$#$work/guide-root/usr/bin/notes#")
        case "$line" in
          tsc*) command -v tsc >/dev/null 2>&1 || { echo "tsc missing: not run: $line"; continue; } ;;
        esac
        code=0
        env HOME="$home-guide" PATH="$prefix/bin:$PATH" timeout 15 sh -c "$line" >"$work/step.log" 2>&1 || code=$?
        case "$code:$line" in
          0:*) ;;
          124:vesk\ --workdir*|124:vesk\ --watch*|124:*/usr/bin/notes) ;;
          *) cat "$work/step.log"; fail "guide command failed ($code): $line" ;;
        esac
        grep 'vesk: ' "$work/step.log" | grep -v 'screenshot saved' && fail "guide command reported a problem: $line"
        echo "guide: $line"
      done <"$step"
      ;;
  esac
done
[ -f notes_1.0.0_all.deb ] || fail "the guide made no package"
[ -f "$home-guide/.local/share/notes/config.ini" ] || [ -d "$home-guide/.local/share/notes/web-storage" ] \
  || fail "the guide's installed application kept nothing"
echo "packaging OK"
