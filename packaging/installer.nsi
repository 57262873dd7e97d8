; The per-user installer of Quillodex, built by scripts/package.sh:
;   makensis -DVERSION=x.y.z -DOUTFILE=... -DINSTALL_FILES=... -DUNINSTALL_FILES=... installer.nsi
; It installs into the user's own programs folder without asking for
; administrator rights, adds a Start menu entry and an entry in the list of
; installed programs, and never touches a Quillodex.ini it finds there. The
; uninstaller removes exactly the files the installer wrote (the two lists
; are made from the same package contents), so settings and anything else
; the user put in the folder stay.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestSupportedOS all

!define PROGRAM Quillodex
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PROGRAM}"
!define UNINSTALLER "Uninstall ${PROGRAM}.exe"
!define SHORTCUT "$SMPROGRAMS\${PROGRAM}.lnk"

Name "${PROGRAM} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PROGRAM}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PROGRAM}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PROGRAM} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "See README.txt and LICENSES"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "${PROGRAM}"
  !include "${INSTALL_FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${PROGRAM}.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PROGRAM}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !include "${UNINSTALL_FILES}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Without /r: the folder goes only when nothing else is left in it.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
