; The per-user installer of Tidewell and Skylark. tools/package passes
;   VERSION          the version as the programs show it (1.0.2.85)
;   VERSION_NUMBERS  the same as four numbers, for the version resource
;   WIN64_DIR        the 64-bit build's bin folder
;   WIN32_DIR        the 32-bit build's bin folder
;   WIN64_KB         what the 64-bit build's files take, in KB
;   WIN32_KB         the same for the 32-bit build
;   WIZARD_BITMAP    the welcome and finish pages' picture (164x314)
;   OUTFILE          the installer to write
Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewell"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define START_MENU "$SMPROGRAMS\Tidewell"
!define /ifndef SYNCHRONIZE 0x00100000

Name "Tidewell ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Tidewell ${VERSION}"
; The database lives beside the programs and must stay writable: a folder of
; the user's own, and never administrator rights.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tidewell"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey "ProductName" "Tidewell"
VIAddVersionKey "CompanyName" "Tidewell"
VIAddVersionKey "FileDescription" "Tidewell Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright Tidewell"

!define MUI_ICON "../resources/art/tidewell.ico"
!define MUI_UNICON "../resources/art/tidewell.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_WELCOMEPAGE_TEXT "Setup will install Tidewell ${VERSION} and its updater Skylark for you, \
without administrator rights.$\r$\n$\r$\nAn installed Tidewell is upgraded and keeps its database and \
backups. A running Tidewell or Skylark is closed first.$\r$\n$\r$\nClick Next to continue."
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tidewell.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tidewell now (it shows in the notification area)"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Pushes the names of the programs that hold their running mutex ("Tidewell",
; "Skylark", "Tidewell and Skylark"), or an empty text.
!macro RunningProgramsFunction un
Function ${un}RunningPrograms
  Push $0
  Push $1
  StrCpy $0 ""
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "Local\Tidewell.Running") p.r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 "Tidewell"
  ${EndIf}
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "Local\Skylark.Running") p.r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    ${If} $0 == ""
      StrCpy $0 "Skylark"
    ${Else}
      StrCpy $0 "$0 and Skylark"
    ${EndIf}
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd
!macroend

; Asks running programs to quit as the tray's "Quit" does and waits up to 15 s
; for them, without asking the user anything. One still running is reported;
; its files then meet NSIS's usual retry or abort.
!macro QuitProgramsFunction un
Function ${un}QuitPrograms
  Push $0
  Push $1
  Call ${un}RunningPrograms
  Pop $0
  ${If} $0 != ""
    DetailPrint "Asking $0 to quit..."
    System::Call 'user32::RegisterWindowMessageW(w "Tidewell.Quit") i.r1'
    System::Call 'user32::PostMessageW(p ${HWND_BROADCAST}, i r1, p 0, p 0)'
    ${For} $1 1 60
      Sleep 250
      Call ${un}RunningPrograms
      Pop $0
      ${IfThen} $0 == "" ${|} ${ExitFor} ${|}
    ${Next}
    ${If} $0 != ""
      DetailPrint "$0 is still running: its files may be in use."
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend

!insertmacro RunningProgramsFunction ""
!insertmacro RunningProgramsFunction "un."
!insertmacro QuitProgramsFunction ""
!insertmacro QuitProgramsFunction "un."

; One build's files. An upgrade keeps the user's database (events, backups,
; edited BHOs) and leaves the new one beside it: the programs merge it in on
; their next open and delete it.
!macro InstallBuild dir
  File "${dir}/Tidewell.exe"
  File "${dir}/Skylark.exe"
  File "${dir}/extra.neo"
  ${If} ${FileExists} "$INSTDIR\bhodb.mdb"
    File "/oname=bhodb-delivered.mdb" "${dir}/bhodb.mdb"
  ${Else}
    File "${dir}/bhodb.mdb"
  ${EndIf}
!macroend

Section "Tidewell and Skylark" SecPrograms
  SectionIn RO
  Call QuitPrograms
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    !insertmacro InstallBuild "${WIN64_DIR}"
  ${Else}
    !insertmacro InstallBuild "${WIN32_DIR}"
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\Tidewell.lnk" "$INSTDIR\Tidewell.exe" "" "$INSTDIR\Tidewell.exe" 0 \
    SW_SHOWNORMAL "" "Browser helper objects, spyware scan, registry cleanup and startup programs"
  CreateShortCut "${START_MENU}\Skylark.lnk" "$INSTDIR\Skylark.exe" "" "$INSTDIR\Skylark.exe" 0 \
    SW_SHOWNORMAL "" "Fetches newer BHO definitions for Tidewell"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tidewell"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tidewell"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tidewell.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  Call WriteEstimatedSize

  ; The logon start is the next section's to write, if it is chosen.
  DeleteRegValue HKCU "${RUN_KEY}" "Tidewell"
SectionEnd

Section "Start Tidewell when I log on" SecLogonStart
  WriteRegStr HKCU "${RUN_KEY}" "Tidewell" '"$INSTDIR\Tidewell.exe"'
SectionEnd

; Adds the size of an installed file to $2 (bytes).
!macro AddFileSize name
  ClearErrors
  FileOpen $0 "$INSTDIR\${name}" r
  ${IfNot} ${Errors}
    FileSeek $0 0 END $1
    FileClose $0
    IntOp $2 $2 + $1
  ${EndIf}
!macroend

; The size of what was installed, not of the folder: the user may have chosen
; one that holds other files.
Function WriteEstimatedSize
  Push $0
  Push $1
  Push $2
  StrCpy $2 0
  !insertmacro AddFileSize "Tidewell.exe"
  !insertmacro AddFileSize "Skylark.exe"
  !insertmacro AddFileSize "extra.neo"
  !insertmacro AddFileSize "bhodb.mdb"
  !insertmacro AddFileSize "Uninstall.exe"
  IntOp $2 $2 + 1023
  IntOp $2 $2 / 1024
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $2
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function .onInit
  SetShellVarContext current
  ; The section holds both builds; one of them is installed.
  ${If} ${RunningX64}
    SectionSetSize ${SecPrograms} ${WIN64_KB}
  ${Else}
    SectionSetSize ${SecPrograms} ${WIN32_KB}
  ${EndIf}
  ; An upgrade keeps the user's choice of the logon start.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $1 HKCU "${RUN_KEY}" "Tidewell"
    ${If} $1 == ""
      !insertmacro UnselectSection ${SecLogonStart}
    ${EndIf}
  ${EndIf}
FunctionEnd

; Empties and removes a folder the programs made. NSIS's RMDir /r enters
; directory links; here a link is removed as a link and never followed.
Function un.RemoveTree
  Exch $0
  Push $1
  Push $2
  Push $3
  FindFirst $1 $2 "$0\*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
      ${GetFileAttributes} "$0\$2" "REPARSE_POINT" $3
      ${If} $3 == 1
        RMDir "$0\$2"
        Delete "$0\$2"
      ${Else}
        ${GetFileAttributes} "$0\$2" "DIRECTORY" $3
        ${If} $3 == 1
          Push "$0\$2"
          Call un.RemoveTree
        ${Else}
          Delete "$0\$2"
        ${EndIf}
      ${EndIf}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  RMDir "$0"
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Call un.QuitPrograms
  Delete "$INSTDIR\Tidewell.exe"
  Delete "$INSTDIR\Skylark.exe"
  Delete "$INSTDIR\extra.neo"
  Delete "$INSTDIR\tidewellerror.log"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "${START_MENU}\Tidewell.lnk"
  Delete "${START_MENU}\Skylark.lnk"
  RMDir "${START_MENU}"
  DeleteRegValue HKCU "${RUN_KEY}" "Tidewell"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
    "Keep Tidewell's database (events, edited BHOs) and its backups in $INSTDIR for a later installation?" \
    /SD IDYES IDYES kept
  Delete "$INSTDIR\bhodb.mdb"
  Delete "$INSTDIR\bhodb.mdb-journal"
  Delete "$INSTDIR\bhodb-delivered.mdb"
  Push "$INSTDIR\BKUP"
  Call un.RemoveTree
  ; The programs' own way to the profile, so the section goes wherever
  ; Windows keeps it.
  System::Call 'kernel32::WriteProfileStringW(w "Tidewell", p 0, p 0)'
kept:
  ; Only when empty: the user may have chosen a folder that holds other files.
  RMDir "$INSTDIR"
SectionEnd
