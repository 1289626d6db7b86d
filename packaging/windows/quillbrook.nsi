; The Windows installer of Quillbrook, built by makensis (Debian's nsis) from the files
; cmake/StageWindowsPackage.cmake puts together. Defines given by the build:
;   VERSION  the CMake project's version      STAGE    the folder of the files to install
;   OUTFILE  the installer to write           LICENSE  the licence text shown before installing
;   SIZE_KB  what the staged files take       ICON     the programs' icon (.ico)
;   SIDE_PICTURE  the finish page's picture (164 x 314 BMP)
;   RUNNING_MUTEX  the name of the mutex every running copy of the tool holds (src/platform/running_mark.h)
; The generated files.nsh holds the install commands, uninstall.nsh the matching deletions, in_use.nsh a
; check of each program and DLL a running program may hold open.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Quillbrook"
!define PUBLISHER "The Quillbrook project"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillbrook"
; The exit status of a silent run that found Quillbrook running and changed nothing. NSIS's own: 0 done,
; 1 cancelled by the user, 2 stopped by an error.
!define EXIT_RUNNING 3
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
; A file that cannot be written stops the installation (Retry or Cancel; a silent one ends with status 2)
; instead of being skipped: skipped, it would leave old and new files mixed behind a success.
AllowSkipFiles off
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "LegalCopyright" "GNU General Public License, version 3 or later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SIDE_PICTURE}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\quillbrook.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running copy of the tool holds its program and DLLs open: files under it cannot be replaced or removed,
; and the others can, which would leave a mixed installation. So nothing is touched while one runs. Every
; copy, the window or the command line, holds the named mutex while it runs; a program or DLL that cannot
; be opened for writing also means that something runs from the folder (a copy too old to hold the mutex,
; say). The check is made at the start, and again just before the first file is touched, since the user may
; start the tool meanwhile. Asked, the user closes it and retries or cancels; a silent run (/S) ends at once
; with status EXIT_RUNNING.
!macro QB_IN_USE FILE
  ${If} $R0 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    FileOpen $R1 "$INSTDIR\${FILE}" a
    ${If} ${Errors}
      StrCpy $R0 "$INSTDIR\${FILE} is in use by a running program."
    ${Else}
      FileClose $R1
    ${EndIf}
  ${EndIf}
!macroend

!macro QB_WAIT_UNTIL_CLOSED UN WHAT
!define /redef CLOSE_FIRST "${PRODUCT} cannot be ${WHAT} while it runs. Close the ${PRODUCT} window and let any quillbrook-cli command finish, then choose Retry."
; Why the installation's files cannot be touched now, in $R0, or "".
Function ${UN}QbWhyBusy
  StrCpy $R0 ""
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${RUNNING_MUTEX}") p.r0 ?e'
  Pop $1
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $R0 "${PRODUCT} is running."
  ${ElseIf} $1 = ${ERROR_ACCESS_DENIED}
    ; There, but not open to us: another user's copy, made with other rights than ours give.
    StrCpy $R0 "${PRODUCT} is running."
  ${Else}
    !include "in_use.nsh"
  ${EndIf}
FunctionEnd

Function ${UN}QbWaitUntilClosed
  ${Do}
    Call ${UN}QbWhyBusy
    ${If} $R0 == ""
      Return
    ${EndIf}
    ${If} ${Silent}
      SetErrorLevel ${EXIT_RUNNING}
      Quit
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R0$\r$\n$\r$\n${CLOSE_FIRST}" IDRETRY qbRetry
    SetErrorLevel 1
    Quit
    qbRetry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro QB_WAIT_UNTIL_CLOSED "" "installed"
!insertmacro QB_WAIT_UNTIL_CLOSED "un." "uninstalled"

Function .onInit
  SetRegView 64
  SetShellVarContext all
  Call QbWaitUntilClosed
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  Call un.QbWaitUntilClosed
FunctionEnd

Section "Quillbrook"
  Call QbWaitUntilClosed
  SetOutPath "$INSTDIR"
  !include "files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\quillbrook.exe" "" "$INSTDIR\quillbrook.exe" 0 \
    SW_SHOWNORMAL "" "What Windows starts automatically"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillbrook.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; Only what the installer put there goes, and the page the tool writes for itself. The user's backups
; (backup\) and the shortcuts the tool keeps for disabled startup entries (ShortCutCurrUser\,
; ShortCutAllUser\) stay, and with them the folder; the tool's settings in the registry stay too.
Section "Uninstall"
  Call un.QbWaitUntilClosed
  !include "uninstall.nsh"
  Delete "$INSTDIR\info.htm"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Last, so that its going means the uninstall is done.
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
