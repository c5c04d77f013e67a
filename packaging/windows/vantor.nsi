; Installer of the x86-64 program folder, for the user who runs it: no administrator rights, the
; folder under the user's own programs, so that the settings file AppVantor.xml that the program
; writes beside its executable stays writable. Built by packaging/windows/CMakeLists.txt, which
; defines VERSION, PUBLISHER, MENU_NAME, UNINSTALL_KEY, OUTFILE and FOLDER (the staged folder)
; and writes folder-install.nsh and folder-uninstall.nsh, the folder's files one per line.
;
;   VantorSetup-VERSION-x64.exe [/S] [/D=FOLDER]      /S: silent, /D: another folder (last)
;   Uninstall.exe [/S]                                in the program folder
; Both end with exit code 2, having changed nothing, while AppVantor.exe runs from the folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
; File times are those of the build's files; a fixed installer leaves them out.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_REG "Software\Microsoft\Windows\CurrentVersion\Uninstall\${UNINSTALL_KEY}"
!define SHORTCUT "$SMPROGRAMS\${MENU_NAME}.lnk"

Name "KELDRA Vantor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\KELDRA\Vantor"
; An install over an earlier one goes to the same folder.
InstallDirRegKey HKCU "${UNINSTALL_REG}" "InstallLocation"
BrandingText "${PUBLISHER}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "KELDRA Vantor"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "KELDRA Vantor ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\AppVantor.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running program's files can be neither replaced nor removed: the user is asked to close it
; first, and a silent run ends with exit code 2, having changed nothing. Windows refuses a running
; executable's opening for writing (a sharing violation); the open changes nothing in the file.
!macro PROGRAM_CLOSED
  ${Do}
    ClearErrors
    ${IfNot} ${FileExists} "$INSTDIR\AppVantor.exe"
      ${Break}
    ${EndIf}
    FileOpen $0 "$INSTDIR\AppVantor.exe" a
    ${IfNot} ${Errors}
      FileClose $0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "KELDRA Vantor is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY program_closed_retry
    Abort
    program_closed_retry:
  ${Loop}
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "KELDRA Vantor ${VERSION} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetShellVarContext current
  SetRegView 64
  !insertmacro PROGRAM_CLOSED
FunctionEnd

Section "Program"
  !include "folder-install.nsh"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\AppVantor.exe" "" "$INSTDIR\AppVantor.exe" 0 SW_SHOWNORMAL \
    "" "Commissioning tool for KELDRA Vantor sensors"

  ; The entry of the system's list of programs, the user's own.
  WriteRegStr HKCU "${UNINSTALL_REG}" "DisplayName" "KELDRA Vantor"
  WriteRegStr HKCU "${UNINSTALL_REG}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_REG}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_REG}" "DisplayIcon" "$INSTDIR\AppVantor.exe,0"
  WriteRegStr HKCU "${UNINSTALL_REG}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_REG}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_REG}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_REG}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_REG}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_REG}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetShellVarContext current
  SetRegView 64
  !insertmacro PROGRAM_CLOSED
FunctionEnd

; Removes what the installer put there and nothing else: the settings file AppVantor.xml (the
; user's) and anything the user added stay, and so does the folder then.
Section "Uninstall"
  !include "folder-uninstall.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; The publisher's folder of the default place, once it is empty.
  ${GetParent} "$INSTDIR" $1
  ${GetFileName} "$1" $0
  ${If} $0 == "KELDRA"
    RMDir "$1"
  ${EndIf}

  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_REG}"
SectionEnd
