; The per-user installer of Torvane Brenlow.
;
; The build passes, with -D:
;   VERSION   four-part version, as in res/version.h ("1.0.0.0")
;   OUTFILE   the installer to write
;   FILES     an include with the macros TB_INSTALL_FILES and TB_REMOVE_FILES,
;             generated from the one list of shipped files
;   ICON      the program's icon
;
; It installs for the current user only, without elevation, into
; %LOCALAPPDATA%\Programs\Torvane Brenlow: the program keeps its default
; project and its Output folder beside itself, so its folder must be one the
; user can write. It adds a Start-menu shortcut and a removal entry; the
; project file type is registered by the program itself at every start.
; Run with /S it asks nothing; /D=<folder> (last on the command line) chooses
; another folder.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "Torvane Brenlow"
!define PUBLISHER "Velmora Software"
!define EXE "TorvaneBrenlow.exe"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TorvaneBrenlow"
!define CLASSES "Software\Classes"
!define PROG_ID "Velmora.Document"
!define EXTENSION ".torvane"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A copy installed before is updated where it is.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2009 ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "${FILES}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running program holds its file open: nothing can replace or remove it then.
; Asks to close it; answering Cancel, and every silent run, ends with an error
; code instead of leaving a half-replaced copy.
!macro TB_WAIT_PROGRAM_CLOSED UN
Function ${UN}WaitProgramClosed
    ${DoWhile} ${FileExists} "$INSTDIR\${EXE}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${EXE}" a
        ${IfNot} ${Errors}
            FileClose $0
            ${Break}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "${PRODUCT} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY +2
        Abort "${PRODUCT} is running."
    ${Loop}
FunctionEnd
!macroend
!insertmacro TB_WAIT_PROGRAM_CLOSED ""
!insertmacro TB_WAIT_PROGRAM_CLOSED "un."

; An earlier copy, of this version or another, is taken away by its own
; uninstaller first, so that files it shipped and this version does not ship
; go with it. That uninstaller keeps the user's projects and videos, as always.
Function RemovePreviousCopy
    ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\${UNINSTALLER}"
        Return
    ${EndIf}
    ; _?= runs it in place and waits for it; it cannot delete itself then.
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    ${If} $1 != 0
        Abort "The copy of ${PRODUCT} in $0 could not be removed."
    ${EndIf}
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
FunctionEnd

Section "Install"
    Call WaitProgramClosed
    Call RemovePreviousCopy

    SetOutPath "$INSTDIR"
    SetOverwrite on
    !insertmacro TB_INSTALL_FILES
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; The shortcut starts the program in its own folder, as the shell would.
    ClearErrors
    CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
    ${If} ${Errors}
        Abort "The shortcut ${SHORTCUT} could not be made."
    ${EndIf}

    WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINST_KEY}" "URLInfoAbout" "https://www.velmora.example/"
    WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
    !searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "."
    WriteRegDWORD HKCU "${UNINST_KEY}" "VersionMajor" ${VERSION_MAJOR}
    WriteRegDWORD HKCU "${UNINST_KEY}" "VersionMinor" ${VERSION_MINOR}
    SectionGetSize 0 $0
    WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; The program registers the project file type at every start, pointing at
; itself. When that is this copy, the registration goes with it: otherwise
; double-clicking a project would call a program that is gone. A registration
; another copy made (a portable one) is left to that copy.
Function un.RemoveOwnFileType
    GetFullPathName /SHORT $1 "$INSTDIR\${EXE}"
    ReadRegStr $0 HKCU "${CLASSES}\${PROG_ID}\shell\open\command" ""
    ${If} $0 != '$1 "%1"'
    ${AndIf} $0 != '"$INSTDIR\${EXE}" "%1"'
    ${AndIf} $0 != '$INSTDIR\${EXE} "%1"'
        Return
    ${EndIf}
    DeleteRegKey HKCU "${CLASSES}\${PROG_ID}"
    ReadRegStr $0 HKCU "${CLASSES}\${EXTENSION}" ""
    ${If} $0 == "${PROG_ID}"
        DeleteRegKey HKCU "${CLASSES}\${EXTENSION}"
    ${EndIf}
    ; SHCNE_ASSOCCHANGED, SHCNF_IDLIST: the shell drops what it cached.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
FunctionEnd

Section "Uninstall"
    Call un.WaitProgramClosed
    Call un.RemoveOwnFileType

    !insertmacro TB_REMOVE_FILES
    Delete "${SHORTCUT}"
    DeleteRegKey HKCU "${UNINST_KEY}"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Only when empty: the user's projects (Default.torvane and any other kept
    ; here) and the default Output folder with the downloaded videos stay.
    RMDir "$INSTDIR\Output"
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\*.*"
        DetailPrint "Kept your projects and videos in $INSTDIR."
    ${EndIf}
SectionEnd
