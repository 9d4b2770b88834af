#!/usr/bin/env bash
# The man pages: the English ones in plain ASCII (whatis and apropos show
# their NAME lines as written) and without a troff warning under LANG=C;
# the Japanese ones without a warning in a UTF-8 locale, with the sections
# of the English ones; and both list every error number the message library
# names, the Japanese with the library's very texts.
# usage: tests/package/man_test.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
man=$root/packaging/linux/man
command -v man >/dev/null || { echo "man is not installed: nothing checked"; exit 0; }
texts=$root/runtime/core/error_texts_cp932.cpp
for page in equation polymul; do
  en=$man/$page.1 ja=$man/ja/$page.1
  if LC_ALL=C grep -n '[^[:print:][:space:]]' "$en"; then echo "$page.1: not plain ASCII"; exit 1; fi
  warnings=$(LANG=C LC_ALL=C man --warnings -l "$en" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || { echo "$page.1 under LANG=C: $warnings"; exit 1; }
  warnings=$(LANG=C.UTF-8 LC_ALL=C.UTF-8 man --warnings -l "$ja" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || { echo "ja/$page.1: $warnings"; exit 1; }
  [ "$(grep -c '^\.SH' "$en")" = "$(grep -c '^\.SH' "$ja")" ] || { echo "ja/$page.1 lacks sections of $page.1"; exit 1; }
  for section in 終了ステータス 例 キー 診断 環境変数 ファイル; do
    grep -q "^\.SH $section\$" "$ja" || { echo "ja/$page.1 has no section $section"; exit 1; }
  done
  for section in "EXIT STATUS" EXAMPLES KEYS DIAGNOSTICS ENVIRONMENT FILES; do
    grep -q "^\.SH $section\$" "$en" || { echo "$page.1 has no section $section"; exit 1; }
  done
  while IFS=$'\t' read -r number text; do
    grep -qx "\.B $number" "$en" || { echo "$page.1 does not list error $number"; exit 1; }
    grep -qxF "$text" "$ja" || { echo "ja/$page.1 does not give error $number as $text"; exit 1; }
  done < <(sed -n 's/^ *case \([0-9]*\): return "\(.*\)";$/\1\t\2/p' "$texts")
done
echo "man pages: plain NAME lines, no troff warning, the same sections, every error with its text"
