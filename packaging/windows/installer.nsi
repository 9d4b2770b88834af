; The Windows installer: equation.exe and polymul.exe for the user who
; installs them (no administrator needed), with Start-menu shortcuts titled
; as the programs' windows are, and an uninstaller that removes everything
; it put in place. The programs read and write their files in their own
; folder, as their dialogue says, so the shortcuts start them there.
; makensis -DBUILD=<folder of the .exe files> -DOUT=<setup.exe> -DVERSION=<version> installer.nsi
Unicode true
Target amd64-unicode  ; the programs are 64-bit, and so is the installer
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "数式展開・数式乗算"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\Tessel"
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessel"
; Where the run-time looks for its message library (the texts of its errors).
!define ENV_KEY "Software\Norvane\Tessel V6.3\ENV"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

Section "Programs"
  SetOutPath "$INSTDIR"
  File "${BUILD}/equation.exe"
  File "${BUILD}/polymul.exe"
  File "${BUILD}/T5Q0RE63.DLL"
  File "/oname=README.txt" "${BUILD}/README-windows.txt"
  WriteRegStr HKCU "${ENV_KEY}" "TESSEL" "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\Tessel"
  CreateShortcut "$SMPROGRAMS\Tessel\数式展開.lnk" "$INSTDIR\equation.exe"
  CreateShortcut "$SMPROGRAMS\Tessel\数式乗算（ファイル）.lnk" "$INSTDIR\polymul.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "数式展開・数式乗算 (Tessel)"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tessel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\equation.exe,0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; What the installer put in place; the answers the user saved in the folder
; are the user's and stay (the folder then stays too).
Section "Uninstall"
  Delete "$SMPROGRAMS\Tessel\数式展開.lnk"
  Delete "$SMPROGRAMS\Tessel\数式乗算（ファイル）.lnk"
  RMDir "$SMPROGRAMS\Tessel"
  Delete "$INSTDIR\equation.exe"
  Delete "$INSTDIR\polymul.exe"
  Delete "$INSTDIR\T5Q0RE63.DLL"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${ENV_KEY}" "TESSEL"
  DeleteRegKey /ifempty HKCU "${ENV_KEY}"
SectionEnd
