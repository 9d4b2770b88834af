#!/usr/bin/env bash
# The Debian packages as a user gets them (as root; this installs them on
# the machine it runs on, and removes them again): lintian finds no error,
# they install with dpkg (apt-get fetches what they depend on), the
# installed equation gives the same session as the one built here, man
# finds the pages, the desktop entries are valid, and removing the packages
# leaves none of their files behind.
# usage: tests/package/run.sh PACKAGE_BUILD NATIVE_BUILD
set -euo pipefail
packages=$(realpath "$1")
native=$(realpath "$2")
main=$(ls "$packages"/tessel_*.deb)
window=$(ls "$packages"/tessel-window_*.deb)

echo "== lintian (no error; and no hardening tag among the notes)"
lintian --fail-on error "$main" "$window"
if lintian -I "$main" "$window" 2>/dev/null | grep -q 'hardening-'; then
  echo "lintian finds the packages not hardened"; exit 1
fi

echo "== reproducible: packed again, the same bytes"
again=$(mktemp -d /tmp/tessel-repack-XXXXXX)
epoch=$(git -C "$(cd "$(dirname "$0")" && pwd)" log -1 --format=%ct 2>/dev/null || echo 1)
(cd "$packages" && SOURCE_DATE_EPOCH=$epoch cpack -G DEB -B "$again" >/dev/null)
for deb in "$main" "$window"; do
  cmp "$deb" "$again/$(basename "$deb")" || { echo "$(basename "$deb") differs when packed again"; exit 1; }
done
rm -rf "$again"

if [ "$(id -u)" -ne 0 ]; then
  echo "installing the packages needs root: run this as root (CI does)"; exit 1
fi
if dpkg-query -W -f='${Status}' tessel 2>/dev/null | grep -q 'install ok installed'; then
  echo "tessel is installed on this machine already: not touching it"; exit 1
fi
files=$( (dpkg-deb -c "$main"; dpkg-deb -c "$window") | awk '$1 !~ /^d/ {print substr($6, 2)}')
cleanup() { dpkg --purge tessel-window tessel >/dev/null 2>&1 || true; }
trap cleanup EXIT

echo "== dpkg -i"
if ! dpkg -i "$main" "$window"; then
  apt-get install -f -y -qq
fi
dpkg-query -W -f='${Status}\n' tessel tessel-window

echo "== the installed equation against the one built here"
session='y\nm\n(a+b+c)3\ny\nn\nans.txt\nok\ny\n'
here=$(mktemp -d /tmp/tessel-package-XXXXXX)
mkdir "$here/built" "$here/installed"
(cd "$here/built" && printf "$session" | XDG_CONFIG_HOME=$here/config TESSEL_DISPLAY=stream "$native/equation" > ../built.out)
(cd "$here/installed" && printf "$session" | XDG_CONFIG_HOME=$here/config TESSEL_DISPLAY=stream /usr/bin/equation > ../installed.out)
cmp "$here/built.out" "$here/installed.out"
cmp "$here/built/ans.txt" "$here/installed/ans.txt"
grep -q '^Answer =' "$here/installed.out"
# A run-time error says what it means: the packaged message library, named
# by the machine's store.
grep -q '^"TESSEL"="/usr/lib/tessel/messages"$' /etc/tessel/registry.reg
report=$(cd "$here" && printf 'y\nm\n(a+b+c+d+e+f+g+h+i+j)(a+b)\n\n' | XDG_CONFIG_HOME=$here/config TESSEL_DISPLAY=stream /usr/bin/equation || true)
grep -qF $'エラー[9]\n配列の添字が範囲を超えているか、配列が大きすぎます' <<<"$report" ||
  { echo "the installed equation did not say what error 9 means: $report"; exit 1; }
rm -rf "$here"
/usr/bin/polymul --version
# The window display is found where the package put it (an offscreen Qt
# window, ended after a moment: only what it says on standard error counts).
fallback=$(cd /tmp && QT_QPA_PLATFORM=offscreen TESSEL_DISPLAY=window timeout 3 /usr/bin/equation </dev/null 2>&1 >/dev/null || true)
if grep -q -e '^TESSEL_DISPLAY=window:' -e '^tessel:' <<<"$fallback"; then
  echo "the installed window display was not used: $fallback"; exit 1
fi

echo "== man and the desktop entries"
[ "$(man -w equation)" = /usr/share/man/man1/equation.1.gz ]
[ "$(man -w polymul)" = /usr/share/man/man1/polymul.1.gz ]
[ "$(man -L ja -w equation 2>/dev/null)" = /usr/share/man/ja/man1/equation.1.gz ]
desktop-file-validate /usr/share/applications/equation.desktop /usr/share/applications/polymul.desktop

echo "== dpkg -r, then --purge (the machine's store is a conffile, kept until a purge)"
dpkg -r tessel-window tessel >/dev/null
[ -f /etc/tessel/registry.reg ] || { echo "dpkg -r took the conffile /etc/tessel/registry.reg"; exit 1; }
dpkg --purge tessel-window tessel >/dev/null
left=""
for f in $files; do
  [ -e "$f" ] && left="$left $f"
done
[ -z "$left" ] || { echo "dpkg -r left:$left"; exit 1; }
[ ! -e /usr/lib/tessel ] || { echo "dpkg -r left /usr/lib/tessel"; exit 1; }
[ ! -e /etc/tessel ] || { echo "dpkg --purge left /etc/tessel"; exit 1; }
trap - EXIT
echo "packages: lintian clean, installed, same session, man pages, desktop entries, removed without a trace"
