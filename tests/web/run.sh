#!/usr/bin/env bash
# The WebAssembly build:
# - its size: the site's code (the font aside), compressed with gzip, under
#   2 MB;
# - the stream end-to-end suite of this machine's build run against the
#   node programs (NAME-node.js), with the same transcripts and files;
# - the page in headless Chromium (puppeteer-core from npm, pointed at the
#   system's chromium: no browser is downloaded): the programs' sessions,
#   then the page as visitors meet it (two tabs, keys alone, a screen
#   reader's view, memory, a slow network, a phone, a file), then as an
#   app (installable, offline, a deploy under an open tab, names no program
#   can use, no store or one that refuses, zoom, touch, large files).
# usage: tests/web/run.sh WEB_BUILD NATIVE_BUILD
set -euo pipefail
web=$(realpath "$1")
native=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)

echo "== size (gzip -9)"
# The code of the site, the font aside: the page's scripts and style and
# both programs' .js and .wasm (named by their content).
bytes=0
for file in "$web"/site/*.js "$web"/site/*.wasm "$web"/site/*.css "$web"/site/index.html; do
  bytes=$((bytes + $(gzip -9c "$file" | wc -c)))
done
echo "the site's code: $bytes bytes; the font: $(wc -c < "$(ls "$web"/site/font.*.woff2)") bytes (WOFF2)"
if [ "$bytes" -ge $((2 * 1024 * 1024)) ]; then
  echo "FAILED: the site's code is 2 MB or more compressed" >&2
  exit 1
fi

echo "== the stream end-to-end sessions under node"
TESSEL_E2E_WEB=$web "$native/tests/e2e/e2e_tests" \
  --gtest_filter='Programs.*:Polymul.*:Repro.*:CommandLine.*' --gtest_brief=1

echo "== the page in headless Chromium"
(cd "$here" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
node "$here/page_test.mjs" "$web/site" "$native" "$web/artefacts"
node "$here/visitors_test.mjs" "$web/site" "$native" "$web/artefacts"
node "$here/app_test.mjs" "$web/site" "$native" "$web/artefacts"
