; The Windows installer of Vantri, made with NSIS (Debian's package nsis) by scripts/package-windows:
;   makensis -DVERSION=0.20 -DPROGRAMS=<folder of the programs> -DRES=<res folder> -DOUTFILE=<file> vantri.nsi
; It installs for the current user alone, without administrator rights, into
; %LOCALAPPDATA%\Programs\Vantri: the programs, a Start menu entry, the vantri: link scheme (written as the
; program itself writes it, so its check at start finds it in order) and an uninstaller that Windows lists
; under "Apps". "/S" installs silently and "/D=<folder>" (the last argument, unquoted, spaces allowed)
; chooses the folder: the player starts a downloaded update with exactly these two. A Vantri that is running
; meanwhile goes on running; its next start is the new version. The settings in %LOCALAPPDATA%\Vantri
; are the user's and stay, through updates and the uninstaller alike.

; A 64-bit installer, as the programs it installs are.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "StrFunc.nsh"
${StrStr}

!define PRODUCT "Vantri"
!define MARKER "kpwx318"
!define SCHEME_KEY "Software\Classes\vantri"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantri"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vantri"
; A reinstall goes where the last one went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} installer"
VIAddVersionKey "LegalCopyright" "The makers of Vantri"

!define MUI_ICON "${RES}\108-vantri.ico"
!define MUI_UNICON "${RES}\108-vantri.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantri.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Vantri"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The programs and the library they load; a running Vantri holds them open.
!macro ForEachProgramFile MACRO
  !insertmacro ${MACRO} "vantri.exe"
  !insertmacro ${MACRO} "vantri-console.exe"
  !insertmacro ${MACRO} "libmpg123-0.dll"
!macroend

; Windows lets a file in use be renamed though not replaced: one that cannot be deleted is moved aside as
; NAME.old1 ... NAME.old9 (the first name free), and goes at the next update or the uninstall.
!macro MoveAside NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    Delete "$INSTDIR\${NAME}"
    ${If} ${Errors}
      StrCpy $R1 1
      ${Do}
        ClearErrors
        Delete "$INSTDIR\${NAME}.old$R1"
        Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.old$R1"
        ${IfNot} ${Errors}
          ${Break}
        ${EndIf}
        IntOp $R1 $R1 + 1
      ${LoopUntil} $R1 > 9
    ${EndIf}
  ${EndIf}
!macroend

!macro DeleteLeftovers NAME
  Delete "$INSTDIR\${NAME}"
  StrCpy $R1 1
  ${Do}
    Delete "$INSTDIR\${NAME}.old$R1"
    IntOp $R1 $R1 + 1
  ${LoopUntil} $R1 > 9
!macroend

Function .onInit
  ; The player gives its folder with a trailing backslash ("/D=C:\...\Vantri\"); the installed paths are
  ; written without it, as the program names itself.
  ${Do}
    StrCpy $R0 $INSTDIR 1 -1
    ${If} $R0 != "\"
    ${AndIf} $R0 != "/"
      ${Break}
    ${EndIf}
    StrCpy $INSTDIR $INSTDIR -1
  ${Loop}
FunctionEnd

Section "Vantri"
  SetOutPath "$INSTDIR"
  !insertmacro ForEachProgramFile MoveAside
  File "${PROGRAMS}\vantri.exe"
  File "${PROGRAMS}\vantri-console.exe"
  File "${PROGRAMS}\libmpg123-0.dll"
  File "${PROGRAMS}\libmpg123-COPYING.txt"
  File "${PROGRAMS}\libsodium-LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Vantri.lnk" "$INSTDIR\vantri.exe" "" "$INSTDIR\vantri.exe" 0

  ; The vantri: links, as the program registers them: missing, or made by a Vantri (the marker): written;
  ; another program's: left to the program's own question at its start.
  ReadRegStr $R0 HKCU "${SCHEME_KEY}\shell\open\command" ""
  ${StrStr} $R1 $R0 "${MARKER}"
  ${If} $R0 == ""
  ${OrIf} $R1 != ""
    DeleteRegKey HKCU "${SCHEME_KEY}"
    WriteRegStr HKCU "${SCHEME_KEY}" "URL Protocol" ""
    WriteRegStr HKCU "${SCHEME_KEY}\DefaultIcon" "" '"$INSTDIR\vantri.exe",1'
    WriteRegStr HKCU "${SCHEME_KEY}\shell\open\command" "" '"$INSTDIR\vantri.exe" %1 ${MARKER}'
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\vantri.exe",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The makers of Vantri"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R0
SectionEnd

Section "Uninstall"
  ; A running Vantri is asked to end ("kill"), and given ten seconds.
  FindWindow $R0 "VantriV1"
  ${If} $R0 != 0
    ExecWait '"$INSTDIR\vantri.exe" kill'
    StrCpy $R1 0
    ${DoWhile} $R1 < 100
      FindWindow $R0 "VantriV1"
      ${If} $R0 == 0
        ${Break}
      ${EndIf}
      Sleep 100
      IntOp $R1 $R1 + 1
    ${Loop}
  ${EndIf}

  !insertmacro ForEachProgramFile DeleteLeftovers
  Delete "$INSTDIR\libmpg123-COPYING.txt"
  Delete "$INSTDIR\libsodium-LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Vantri.lnk"

  ; The link scheme goes only when it is this installation's.
  ReadRegStr $R0 HKCU "${SCHEME_KEY}\shell\open\command" ""
  ${If} $R0 == '"$INSTDIR\vantri.exe" %1 ${MARKER}'
    DeleteRegKey HKCU "${SCHEME_KEY}"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
