#!/usr/bin/env bash
# make install into a DESTDIR puts exactly the expected files in place, the
# installed program runs and finds its display modules, and make uninstall
# takes exactly those files away again.
# usage: tests/package/install_test.sh BUILD
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
dest=$(mktemp -d /tmp/tessel-install-XXXXXX)
# The build's record of a real installation (for make uninstall) is kept.
for f in install_manifest.txt install_record.txt; do
  [ -f "$build/$f" ] && cp "$build/$f" "$dest.$f"
done
restore() {
  for f in install_manifest.txt install_record.txt; do
    if [ -f "$dest.$f" ]; then mv "$dest.$f" "$build/$f"; else rm -f "$build/$f"; fi
  done
  rm -rf "$dest"
}
trap restore EXIT
prefix=/usr/local

DESTDIR=$dest cmake --install "$build" --prefix "$prefix" >/dev/null
expected="bin/equation
bin/polymul
lib/tessel/displays/tessel-terminal.so
lib/tessel/messages/T5Q0RE63.DLL
share/man/ja/man1/equation.1.gz
share/man/ja/man1/polymul.1.gz
share/man/man1/equation.1.gz
share/man/man1/polymul.1.gz"
if [ -f "$build/tessel-window.so" ]; then
  expected="$expected
lib/tessel/displays/tessel-window.so
share/applications/equation.desktop
share/applications/polymul.desktop
share/icons/hicolor/scalable/apps/tessel-equation.svg
share/icons/hicolor/scalable/apps/tessel-polymul.svg"
fi
expected=$(sort <<<"$expected")
actual=$(cd "$dest$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
  echo "installed files differ from the expected ones:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
if find "$dest" -path "$dest$prefix" -prune -o -type f -print | grep -q .; then
  echo "files installed outside the prefix"; exit 1
fi
[ "$(stat -c %a "$dest$prefix/lib/tessel/displays/tessel-terminal.so")" = 644 ] || { echo "a module with execute bits"; exit 1; }

# The installed program answers, and finds the terminal module beside it.
answer=$(printf 'y\nm\n(a+b)2\nn\ny\n' | TESSEL_DISPLAY=stream "$dest$prefix/bin/equation" | grep '^Answer')
[ "$answer" = "Answer =+a2+2ab+b2" ] || { echo "the installed equation answered: $answer"; exit 1; }
# The installed program finds the message library in lib/tessel/messages
# beside its own folder: a run-time error's report carries the library's
# text. (Unless the machine's store names a folder of its own, which is
# looked in first.)
if [ ! -e /etc/tessel/registry.reg ]; then
  config=$(mktemp -d /tmp/tessel-install-config-XXXXXX)
  report=$(printf 'y\nm\n(a+b+c+d+e+f+g+h+i+j)(a)\n\n' | XDG_CONFIG_HOME=$config TESSEL_DISPLAY=stream \
    "$dest$prefix/bin/equation" || true)
  rm -rf "$config"
  case "$report" in
    *'エラー[9]'*'配列の添字が範囲を超えているか、配列が大きすぎます'*) ;;
    *) echo "the installed equation's error report lacks the message library's text:"; echo "$report" | tail -3; exit 1 ;;
  esac
else
  echo "note: /etc/tessel/registry.reg names the message library's folder; the installed layout's own is not checked"
fi
"$dest$prefix/bin/polymul" --version | grep -q '^polymul ' || { echo "polymul --version"; exit 1; }
if command -v script >/dev/null; then
  out=$( (sleep 1; printf "n") | TESSEL_DISPLAY=terminal TERM=xterm timeout 3 script -qc "$dest$prefix/bin/equation" /dev/null 2>&1 || true)
  case "$out" in
    *"not installed"*|*"cannot be loaded"*) echo "the installed terminal module was not found: $out"; exit 1 ;;
  esac
fi
desktop-file-validate "$dest$prefix"/share/applications/*.desktop 2>/dev/null || ! command -v desktop-file-validate >/dev/null

# make uninstall refuses another DESTDIR or PREFIX than the installation's
# (touching nothing), then removes exactly what was installed: not a file of
# the user's, nor one that changed since (a decoy in an installed file's
# place).
uninstall() { (cd "$build" && cmake "$@" -P "$here/../../cmake/Uninstall.cmake" >/dev/null 2>&1); }
touch "$dest$prefix/bin/mine"
echo "the user's own" > "$dest$prefix/share/man/man1/polymul.1.gz"
if uninstall; then echo "uninstall without the installation's DESTDIR removed something"; exit 1; fi
if DESTDIR=$dest uninstall -DPREFIX=/usr; then echo "uninstall with another PREFIX went ahead"; exit 1; fi
[ -f "$dest$prefix/bin/equation" ] || { echo "a refused uninstall took bin/equation"; exit 1; }
DESTDIR=$dest uninstall -DPREFIX=$prefix
left=$(cd "$dest$prefix" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$left" = "bin/mine share/man/man1/polymul.1.gz " ] || { echo "uninstall left or took: $left"; exit 1; }
[ ! -e "$dest$prefix/lib/tessel" ] || { echo "uninstall left lib/tessel"; exit 1; }
echo "install: the expected files; uninstall: all of them, nothing else, and only from where they went"
