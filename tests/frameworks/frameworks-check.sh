#!/bin/sh
# Front-end libraries from npm on vesk's engine: each renders a component in a page of
# its own, run headless; Vue 3 is expected to fail to parse. The packages are cached in
# CACHE, so only the first run downloads. Without npm or network the test is skipped (77).
set -u
vesk="$1"
cache="$2"
here=$(cd "$(dirname "$0")" && pwd)
packages="react@18 react-dom@18 preact@10 vue@2.7 jquery@3 vue3@npm:vue@3.5"
stamp="$cache/installed.txt"
if [ "$(cat "$stamp" 2>/dev/null)" != "$packages" ]; then
  if ! command -v npm >/dev/null 2>&1; then
    echo "SKIP: npm is not available: the front-end libraries cannot be installed"
    exit 77
  fi
  mkdir -p "$cache"
  if ! npm install --prefix "$cache" --no-audit --no-fund --no-save --silent --fetch-retries=0 \
       --fetch-timeout=20000 $packages >"$cache/npm.log" 2>&1; then
    echo "SKIP: cannot install the front-end libraries from npm (offline?): see $cache/npm.log"
    exit 77
  fi
  echo "$packages" > "$stamp"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
status=0
# page name, then the text the page must print (a grep -E pattern)
while read -r page expected; do
  [ -n "$page" ] || continue
  rm -rf "$work/app" && mkdir -p "$work/app"
  sed "s|@MODULES@|file://$cache/node_modules|g" "$here/$page.html" > "$work/app/init.html"
  timeout 60 "$vesk" --workdir "$work" >"$work/out.txt" 2>&1
  line=$(grep -o 'RESULT .*' "$work/out.txt" | head -1)
  if echo "$line" | grep -qE "^RESULT $expected\$"; then
    echo "ok   $page: $line"
  else
    echo "FAIL $page: expected RESULT $expected, got:"; cat "$work/out.txt"; status=1
  fi
done <<'LIST'
react rendered Hello, vesk: 3 items; clicked 1
preact rendered Hello, vesk: 3 items; clicked 1
vue2 rendered Hello, vesk: 3 items; clicked 1
jquery rendered Hello, vesk: 3 items; clicked 1
vue3 failed SyntaxError: Cannot declare a let variable twice: '.*'\.
LIST
exit $status
