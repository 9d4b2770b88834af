#!/usr/bin/env bash
# The WebAssembly build:
# - its size: each program's .js and .wasm together, compressed with gzip,
#   under 2 MB;
# - the stream end-to-end suite of this machine's build run against the
#   node programs (NAME-node.js), with the same transcripts and files;
# - the page in headless Chromium (puppeteer-core from npm, pointed at the
#   system's chromium: no browser is downloaded).
# usage: tests/web/run.sh WEB_BUILD NATIVE_BUILD
set -euo pipefail
web=$(realpath "$1")
native=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)

echo "== size (gzip -9)"
for program in equation polymul; do
  bytes=$(( $(gzip -9c "$web/site/$program.js" | wc -c) + $(gzip -9c "$web/site/$program.wasm" | wc -c) ))
  echo "$program.js + $program.wasm: $bytes bytes"
  if [ "$bytes" -ge $((2 * 1024 * 1024)) ]; then
    echo "FAILED: $program is 2 MB or more compressed" >&2
    exit 1
  fi
done

echo "== the stream end-to-end sessions under node"
TESSEL_E2E_WEB=$web "$native/tests/e2e/e2e_tests" \
  --gtest_filter='Programs.*:Polymul.*:Repro.*:CommandLine.*' --gtest_brief=1

echo "== the page in headless Chromium"
(cd "$here" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
node "$here/page_test.mjs" "$web/site" "$native" "$web/artefacts"
