#!/usr/bin/env bash
# The Windows build under wine64, in a Wine prefix of its own (made in a
# temporary folder, removed at the end):
# - the cross-built unit tests (ctest in the Windows build folder), on a
#   desktop of their own (an X display under Xvfb);
# - the stream end-to-end suite of this machine's build run against the .exe
#   files, and equation.exe in its real window under Xvfb;
# - the window: one of the form's class, started as Windows starts a
#   program; the fatal box; scroll bars; the end of the session;
# - the installer: installs, the shortcut leads to the program, which runs
#   and saves in its folder, and the uninstaller removes what it put there.
# usage: tests/windows/run.sh WINDOWS_BUILD NATIVE_BUILD
set -euo pipefail
windows=$(realpath "$1")
native=$(realpath "$2")
wine=/usr/lib/wine/wine64

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tessel-wine-XXXXXX)
export WINEDEBUG=-all
# No menu entries or file associations of this machine's desktop for what
# the installer makes inside the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
xvfb=
# Ends the prefix's wineserver and waits until it has gone: a program
# started while it is still going meets a server that drops it ("recvmsg:
# Connection reset by peer").
end_wineserver() {
  wineserver -k 2>/dev/null || true
  timeout 60 wineserver -w 2>/dev/null || true
}
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "== Wine prefix $WINEPREFIX"
$wine wineboot --init >/dev/null 2>&1
wineserver -w

# The desktop the windows open on (only where DISPLAY is given: the stream
# sessions must not find one).
xdisplay=":$((100 + $$ % 100))"
Xvfb "$xdisplay" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

echo "== programs of the windows subsystem: no console opens beside their window"
for exe in equation polymul; do
  headers=$(x86_64-w64-mingw32-objdump -p "$windows/$exe.exe")
  grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" ||
    { echo "$exe.exe is not a program of the windows subsystem"; exit 1; }
done

echo "== the resources of each .exe: MAINFORM (RCDATA, Japanese), the icon, the version, the manifest"
for exe in equation polymul; do
  resources=$(x86_64-w64-mingw32-windres "$windows/$exe.exe" -O rc)
  grep -A2 'Type: rcdata' <<<"$resources" | grep -q 'Name: "MAINFORM"' ||
    { echo "$exe.exe carries no MAINFORM resource"; exit 1; }
  for wanted in 'LANGUAGE 17, 1' 'Type: group icon' 'Type: version' 'Type: 24' 'Name: "TS$VERSIONINFO"' \
                'Name: "T5Q0ICONLIST"' "VALUE \"OriginalFilename\", \"$exe.exe\"" 'PerMonitorV2'; do
    grep -qF "$wanted" <<<"$resources" || { echo "$exe.exe lacks $wanted"; exit 1; }
  done
done

echo "== unit tests under wine64"
# Now and then wine64 fails to start a test process at all (the test "fails"
# in no time, printing nothing); the tests that failed run once more, alone,
# and a test that fails again fails the run.
if ! DISPLAY=$xdisplay ctest --test-dir "$windows" --output-on-failure -j 2; then
  echo "== the failed unit tests once more"
  DISPLAY=$xdisplay ctest --test-dir "$windows" --output-on-failure --rerun-failed
fi

echo "== end-to-end: the stream sessions and the window against the .exe files"
TESSEL_E2E_WINDOWS=$windows "$native/tests/e2e/e2e_tests" \
  --gtest_filter='Programs.*:Polymul.*:Repro.*:CommandLine.*:WindowSession.WindowsProgram*' --gtest_brief=1

echo "== an access violation: the report on standard error and the X* record in the registry"
crash_err=$(cd "$WINEPREFIX" && printf 'x\n' | TESSEL_DISPLAY=stream $wine "$windows/echo_program.exe" crash 2>&1 >/dev/null || true)
case "$crash_err" in
  *": 続行不可能なエラーが発生しました MAIN.BAS [130行]"*) ;;
  *) echo "no fatal report on standard error: $crash_err"; exit 1 ;;
esac
record=$($wine reg query 'HKCU\Software\Norvane\Tessel V6.3\RUNTIME\ERROR')
for value in 'XLINE    REG_DWORD    0x82' 'XCODE    REG_DWORD    0xc0000005' 'XMODL    REG_SZ    MAIN.BAS' \
             'XRTL    REG_SZ    V6.30 L10 U002+1'; do
  grep -qF "$value" <<<"$record" || { echo "the record lacks $value: $record"; exit 1; }
done

echo "== an access violation in a window: the system's box over it says so"
(cd "$WINEPREFIX" && DISPLAY=$xdisplay $wine "$windows/echo_program.exe" crash >/dev/null 2>&1 || true) &
crashed=$!
box=$(DISPLAY=$xdisplay $wine "$windows/window_probe.exe" box | tr -d '\r' || true)
wait $crashed
# Titled as the main window is: the program's name from its module's file.
[ "$(head -1 <<<"$box")" = echo_program ] && grep -qx '続行不可能なエラーが発生しました MAIN.BAS \[130行\]' <<<"$box" ||
  { echo "no fatal message box (or another caption or text) over the window: $box"; exit 1; }
# (reg query shows no REG_QWORD: the export, UTF-16, does.)
$wine reg export 'HKCU\Software\Norvane\Tessel V6.3\RUNTIME\ERROR' "$WINEPREFIX/error.reg" /y >/dev/null 2>&1
exported=$(iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/error.reg")
grep -qE '"XADDR"=hex\(b\):([0-9a-f]{2},){4}(0[1-9a-f]|[1-9a-f][0-9a-f]),' <<<"$exported" ||
  { echo "the record lacks the whole 64-bit address: $exported"; exit 1; }

echo "== made small, then as large as it was: no scroll bar, the whole grid"
# Scroll bars thicker than a cell (40 pixels): were the range decided from
# the client area, the bars would keep it too small to lose them.
for metric in ScrollWidth ScrollHeight; do
  $wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v $metric /t REG_SZ /d -600 /f >/dev/null
done
end_wineserver
(cd "$WINEPREFIX" && printf '' | DISPLAY=$xdisplay $wine "$windows/equation.exe" >/dev/null 2>&1 || true) &
program=$!
sized=$(DISPLAY=$xdisplay $wine "$windows/window_probe.exe" resize | tr -d '\r' || true)
end_wineserver
wait $program 2>/dev/null || true
read -r _ vertical horizontal _ client <<<"$sized"
width=${client%x*} height=${client#*x}
[ "$vertical $horizontal" = "0 0" ] && [ -n "$client" ] && [ $((width % 80)) = 0 ] && [ $((height % 24)) = 0 ] ||
  { echo "after a shrink and an enlargement: $sized"; exit 1; }
for metric in ScrollWidth ScrollHeight; do
  $wine reg delete 'HKCU\Control Panel\Desktop\WindowMetrics' /v $metric /f >/dev/null
done

echo "== the session ends during a save: refused until the file is complete, then the program ends"
session=$(mktemp -d /tmp/tessel-session-XXXXXX)
for factor in 5 2; do
  (cd "$session" && printf 'y\nm\n(a+b+c+d+e+f+g+h+i)%s\ny\nd\nf%s.txt\ny\n' $factor $factor |
     TESSEL_DISPLAY=stream $wine "$windows/equation.exe" >/dev/null)
done
(cd "$session" && printf 'y\n2\nf5.txt\nf2.txt\ny\nd\nwhole.txt\ny\n' | TESSEL_DISPLAY=stream $wine "$windows/polymul.exe" >/dev/null)
(cd "$session" && DISPLAY=$xdisplay $wine "$windows/polymul.exe" >/dev/null 2>&1 || true) &
program=$!
ended=$(cd "$session" && DISPLAY=$xdisplay $wine "$windows/window_probe.exe" endsession y 2 f5.txt f2.txt y d prod.txt |
        tr -d '\r' || true)
wait $program || true
[ "$ended" = $'the session may end: 0\nthe program ended' ] || { echo "the end of the session during a save: $ended"; exit 1; }
cmp "$session/whole.txt" "$session/prod.txt" || { echo "the save the session's end met is not whole"; exit 1; }
rm -rf "$session"

echo "== started as Windows starts a program: one window, of the run-time's class, answering other programs"
# (A console opened beside it would be a window of its own.)
# (echo_program, a test program without a form, is a console program:
# started directly.)
for case in "equation T5Q0WCMAINFORM" "echo_program T5Q0CLASS"; do
  read -r exe class <<<"$case"
  if [ $exe = equation ]; then
    (cd "$WINEPREFIX" && DISPLAY=$xdisplay $wine start /unix "$windows/$exe.exe")
  else
    (cd "$WINEPREFIX" && DISPLAY=$xdisplay $wine "$windows/$exe.exe" </dev/null >/dev/null 2>&1 &)
  fi
  described=$(DISPLAY=$xdisplay $wine "$windows/window_probe.exe" describe | tr -d '\r' || true)
  end_wineserver
  expected="class $class extra 4
windows $class
copy format 1, 3 taken 0, 14 taken 1, now 14"
  [ "$described" = "$expected" ] || { echo "$exe.exe started by start: $described"; exit 1; }
done

echo "== the message library only from a folder no one else may write"
# The test library (error 5: "Illegal function call") in a folder of this
# user's, then in one that everyone may write (Wine shows a folder of mode
# 777 so): there it is refused, and the library beside the program speaks.
planted=$(mktemp -d /tmp/tessel-planted-XXXXXX)
cp "$windows/tests/runtime/host/messages/T5Q0RE63.DLL" "$planted/"
chmod 755 "$planted"
$wine reg add 'HKCU\Software\Norvane\Tessel V6.3\ENV' /v TESSEL /t REG_SZ /d "Z:$planted" /f >/dev/null
said() { printf 'x\n\n' | TESSEL_DISPLAY=stream $wine "$windows/echo_program.exe" error 2>/dev/null || true; }
grep -q 'Illegal function call' <<<"$(said)" || { echo "the library of a trusted folder was not used"; exit 1; }
chmod 777 "$planted"
report=$(said)
if grep -q 'Illegal function call' <<<"$report"; then echo "a library in a folder anyone may write was loaded"; exit 1; fi
grep -q '引数が正しくありません' <<<"$report" || { echo "no text from the library beside the program: $report"; exit 1; }
$wine reg delete 'HKCU\Software\Norvane\Tessel V6.3\ENV' /f >/dev/null
rm -rf "$planted"

echo "== installer"
setup=$windows/package/tessel-setup.exe
[ -f "$setup" ] || { echo "no $setup: make windows-package first"; exit 1; }
$wine "$setup" /S
wineserver -w
home=$WINEPREFIX/drive_c/users/$(ls "$WINEPREFIX/drive_c/users" | grep -v -x Public | head -1)
folder=$home/AppData/Local/Programs/Tessel
menu=$home/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Tessel
for f in equation.exe polymul.exe T5Q0RE63.DLL README.txt uninstall.exe; do
  [ -f "$folder/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ "$(head -c 3 "$folder/README.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
  { echo "README.txt has no byte-order mark: Notepad would read it as CP932"; exit 1; }
entry=$($wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessel')
for value in DisplayVersion Publisher DisplayIcon; do
  grep -q "$value" <<<"$entry" || { echo "the uninstall entry has no $value: $entry"; exit 1; }
done
for link in 数式展開 数式乗算（ファイル）; do
  [ -f "$menu/$link.lnk" ] || { echo "no shortcut $link"; exit 1; }
done
strings "$menu/数式展開.lnk" | grep -q 'Tessel\\equation.exe' || { echo "the shortcut does not lead to equation.exe"; exit 1; }
strings "$menu/数式乗算（ファイル）.lnk" | grep -q 'Tessel\\polymul.exe' || { echo "the shortcut does not lead to polymul.exe"; exit 1; }
answer=$(cd "$folder" && printf 'y\nm\n(a+b)2\ny\nd\nans.txt\ny\n' | TESSEL_DISPLAY=stream $wine equation.exe | grep '^Answer')
[ "$answer" = "Answer =+a2+2ab+b2" ] || { echo "the installed equation.exe answered: $answer"; exit 1; }
printf ' 3 , 2 \r\n 1 , 1 , 2 , 0 \r\n 1 , 2 , 1 , 1 \r\n 1 , 1 , 0 , 2 \r\n+a2+2ab+b2\r\n\x1a' | cmp - "$folder/ans.txt"
# A run-time error says what it means: the installed message library's text.
report=$(cd "$folder" && printf 'y\nm\n(a+b+c+d+e+f+g+h+i+j)(a+b)\n\n' | TESSEL_DISPLAY=stream $wine equation.exe || true)
grep -qF $'エラー[9]\n配列の添字が範囲を超えているか、配列が大きすぎます' <<<"$report" ||
  { echo "the installed equation.exe did not say what error 9 means: $report"; exit 1; }
$wine "$folder/uninstall.exe" /S
wineserver -w
left=$( (cd "$folder" && ls -A); find "$menu" 2>/dev/null || true)
[ "$left" = "ans.txt" ] || { echo "the uninstaller left: $left"; exit 1; }
for key in 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessel' 'HKCU\Software\Norvane\Tessel V6.3\ENV'; do
  if $wine reg query "$key" >/dev/null 2>&1; then
    echo "the uninstaller left its registry key $key"; exit 1
  fi
done
echo "installer: installed, ran, uninstalled (the saved answer is the user's and stays)"
