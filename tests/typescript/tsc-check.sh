#!/bin/sh
# tsc --noEmit over the example against docs/vesk.d.ts. TypeScript comes from npm
# into CACHE once; without node/npm or network the test is skipped (exit 77).
set -u
src="$1"
cache="$2"
here="$src/tests/typescript"
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  echo "SKIP: node and npm are needed to check docs/vesk.d.ts with tsc"
  exit 77
fi
node "$here/coverage.js" "$src/docs/api.md" "$src/docs/vesk.d.ts" "$here/example.ts" || exit 1
if [ ! -x "$cache/node_modules/.bin/tsc" ]; then
  mkdir -p "$cache"
  if ! npm install --prefix "$cache" --no-audit --no-fund --no-save --silent --fetch-retries=0 \
       --fetch-timeout=20000 typescript@5 >"$cache/npm.log" 2>&1; then
    echo "SKIP: cannot install typescript from npm (offline?): see $cache/npm.log"
    exit 77
  fi
fi
exec "$cache/node_modules/.bin/tsc" --noEmit --strict --target ES2015 --lib ES2015,DOM "$here/example.ts"
