#!/bin/sh
# The install tree: files in their places, --version and the manual page agree with the
# command line, and the installed program runs applications headless with its own
# plug-ins and vesk.js. With dpkg-deb at hand, the Debian package as well.
set -eu
build="$1"
src="$2"
version="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/vesk bin/vesk-pack share/vesk/vesk.js share/man/man1/vesk.1 share/applications/vesk.desktop \
         share/icons/hicolor/scalable/apps/vesk.svg share/doc/vesk/api.md share/doc/vesk/vesk-js.md \
         share/doc/vesk/vesk.d.ts share/doc/vesk/frameworks.md; do
  [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -n "$(find "$prefix" -path '*/vesk/plugins/KOUpdater.so')" ] || fail "KOUpdater.so not installed"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$prefix/share/applications/vesk.desktop" || fail "vesk.desktop is not valid"
fi

export QT_QPA_PLATFORM=offscreen
[ "$("$prefix/bin/vesk" --version 2>/dev/null)" = "vesk $version" ] || fail "vesk --version does not say vesk $version"
# Every option of --help is in the manual page, and the manual page names no other.
help_opts=$("$prefix/bin/vesk" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u)
man_opts=$(sed -n '/^\.SH OPTIONS/,/^\.SH EXIT/p' "$prefix/share/man/man1/vesk.1" \
           | grep -oE -- '\\-\\-[a-z]+(\\-[a-z]+)*' | sed 's/\\//g' | sort -u)
[ "$help_opts" = "$man_opts" ] || fail "options differ: --help has $(echo $help_opts), vesk.1 has $(echo $man_opts)"
grep -q "\"vesk $version\"" "$prefix/share/man/man1/vesk.1" || fail "vesk.1 does not name version $version"

# An application without libs/: the installed plug-in and the built-in vesk.js serve it.
mkdir -p "$work/app1/app"
cat > "$work/app1/app/init.html" <<'HTML'
<script src="qrc:/vesk.js"></script>
<script>
vesk.plugins.load('libs/KOUpdater.dll')
  .then(u => app.exit(typeof u.updateData === 'function' ? 0 : 3), e => { console.log(e.error_text); app.exit(4); });
</script>
HTML
code=0
timeout 60 "$prefix/bin/vesk" --workdir "$work/app1" >"$work/app1.log" 2>&1 || code=$?
[ $code = 0 ] || { cat "$work/app1.log"; fail "installed vesk ran the plug-in check with code $code"; }

# The demo, headless, as a screenshot.
cp -r "$src/examples/demo" "$work/demo"
timeout 90 "$prefix/bin/vesk" --workdir "$work/demo" --screenshot "$work/demo.png" >"$work/demo.log" 2>&1 \
  || { cat "$work/demo.log"; fail "installed vesk did not run the demo"; }
[ "$(head -c 4 "$work/demo.png" | tail -c 3)" = PNG ] || fail "no screenshot of the demo"

if command -v dpkg-deb >/dev/null 2>&1 && command -v cpack >/dev/null 2>&1; then
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1) \
    || { tail -20 "$work/cpack.log"; fail "cpack -G DEB failed"; }
  deb=$(ls "$work"/deb/*.deb)
  depends=$(dpkg-deb -f "$deb" Depends)
  for p in libqt5webkit5 libqt5widgets5 libqt5sql5-sqlite; do
    echo "$depends" | grep -q "$p" || fail "the package does not depend on $p: $depends"
  done
  contents=$(dpkg-deb -c "$deb")
  for f in ./usr/bin/vesk /vesk/plugins/KOUpdater.so ./usr/share/man/man1/vesk.1 ./usr/share/vesk/vesk.js; do
    echo "$contents" | grep -q -- "$f" || fail "$f is not in the package"
  done
  echo "package: $(basename "$deb"), depends: $depends"
else
  echo "dpkg-deb or cpack missing: the Debian package is not checked"
fi
echo "install tree OK"
