; The Windows installer: both control libraries with their engines, the examples and the README.
;   makensis -DVERSION=1.0.0 -DOCX32=... -DOCX64=... -DENGINE32=... -DENGINE64=... -DREADME=... -DEXAMPLES=folder
;            -DMANIFEST32=... -DMANIFEST64=... (each library's assembly manifest)
;            -DOUTFILE=... -DMSI_UPGRADE_CODE=GUID -DMSI_USER_UPGRADE_CODE=GUID [-DSIGN_SCRIPT=... (see below)] qtvchecksum.nsi
; On 64-bit Windows the 64-bit control library goes to "Program Files\QTV Checksum" and the 32-bit one to
; "Program Files (x86)\QTV Checksum", each registered by the regsvr32 of its own bitness; on 32-bit Windows
; only the 32-bit one is installed. Each has the engine of its bitness beside it, which it loads where a
; policy forbids loading programs from the temporary folder. Run with /S to install silently; the uninstaller takes /S as well.
; That is the installation for all users (/AllUsers), the default. With /CurrentUser, or "Only for me" on
; the first page, it installs for the current user alone, with no administrator: into the user's programs
; folder, the 64-bit and the 32-bit control each in a folder of its own, registered under the user's own
; classes by regsvr32 /n /i:user, with the entry in the user's own list of installed programs.
Unicode true
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "QTV Checksum"
!define PUBLISHER "QTV Software"
!define FOLDER "QTV Checksum"
!define CONTROL "qtvchecksums100.ocx"
!define CONTROL_MANIFEST "qtvchecksums100.manifest"
!define ENGINE32_FILE "qtvsum.dll"
!define ENGINE64_FILE "qtvsum64.dll"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QTVChecksum"

; With -DSIGN_SCRIPT=a command that signs the file it is given in place, the uninstaller is signed before
; it is packed into the setup program, and the setup program once it is written (the uninstaller by its
; name among the signatures: NSIS signs it under a temporary one).
!ifdef SIGN_SCRIPT
  !uninstfinalize '"${SIGN_SCRIPT}" "%1" "${UNINSTALLER}"' = 0
  !finalize '"${SIGN_SCRIPT}" "%1"' = 0
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; An installation for the current user alone needs no administrator, so the program starts as the user who
; runs it and asks for elevation only when it installs or removes for all users (see RunElevated).
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The files keep no time of their own: the same sources give the same setup program.
SetDateSave off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Page custom ModePage ModePageLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The folders of the control libraries of each bitness.
Var Folder32
Var Folder64
; "AllUsers" or "CurrentUser"; ModeGiven is 1 when the command line chose it, which skips the page.
Var Mode
Var ModeGiven
; What regsvr32 is told besides /s and /u: nothing for all users, "/n /i:user" for the current user alone.
Var RegisterScope
Var AllUsersButton

; Registers (or with /u unregisters) a control library with the regsvr32 of the library's bitness and
; leaves regsvr32's exit code in $0. The installer is a 32-bit program: System32 is only reachable
; with the file-system redirection switched off for the call.
!macro RunRegsvr32 BITS SWITCHES FILE
  !if ${BITS} == 64
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" ${SWITCHES} "${FILE}"' $0
    ${EnableX64FSRedirection}
  !else
    ${If} ${RunningX64}
      ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" ${SWITCHES} "${FILE}"' $0
    ${Else}
      ExecWait '"$SYSDIR\regsvr32.exe" ${SWITCHES} "${FILE}"' $0
    ${EndIf}
  !endif
!macroend

; For all users, on 64-bit Windows, the 64-bit control library goes to the 64-bit programs' folder and
; the 32-bit one to the 32-bit programs' folder, and the entry to HKEY_LOCAL_MACHINE (SHCTX). For the current
; user the folder is already in $INSTDIR: the user's programs folder has no 32-bit twin, so each bitness
; gets a folder of its own under it, and the entry goes to HKEY_CURRENT_USER.
!macro ChooseFolders
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ${If} $Mode == CurrentUser
    SetShellVarContext current
    StrCpy $Folder64 "$INSTDIR\64-bit"
    StrCpy $Folder32 "$INSTDIR\32-bit"
    StrCpy $RegisterScope "/n /i:user"
  ${ElseIf} ${RunningX64}
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER}"
    StrCpy $Folder64 "$INSTDIR"
    StrCpy $Folder32 "$PROGRAMFILES32\${FOLDER}"
    StrCpy $RegisterScope ""
  ${Else}
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES\${FOLDER}"
    StrCpy $Folder64 "$INSTDIR"
    StrCpy $Folder32 "$INSTDIR"
    StrCpy $RegisterScope ""
  ${EndIf}
!macroend

; Runs this program again elevated with the given parameters (in a variable), waits for it and ends with its
; status: an installation or removal for all users started by a user who is not an administrator asks for
; one here, as the program would have asked when it started. /Elevated marks the second run, which refuses
; to go on when it still is no administrator (elevation switched off) instead of asking again and again.
; Declining the request ends with 1223 (ERROR_CANCELLED), which is what starting it refused would answer.
; UN is "un." in the uninstaller.
!macro RunElevated UN PARAMETERS
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != Admin
    ${${UN}GetParameters} $1
    ClearErrors
    ${${UN}GetOptions} $1 "/Elevated" $2
    ${IfNot} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "Installing or removing ${PRODUCT} for all users of this computer needs an administrator." /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    StrCpy $6 "/Elevated ${PARAMETERS}"
    StrCpy $7 "$EXEPATH"
    HideWindow
    System::Call '*(&l4, i 0x140, p $HWNDPARENT, w "runas", w r7, w r6, p 0, i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r1'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2 ?e'
    Pop $3
    ${If} $2 == 0
      System::Free $1
      SetErrorLevel $3
      Quit
    ${EndIf}
    System::Call '*$1(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r4)'
    System::Free $1
    System::Call 'kernel32::WaitForSingleObject(p r4, i -1) i'
    System::Call 'kernel32::GetExitCodeProcess(p r4, *i .r5) i'
    System::Call 'kernel32::CloseHandle(p r4) i'
    SetErrorLevel $5
    Quit
  ${EndIf}
!macroend

; The entry in the list of installed programs, under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER (SHCTX).
!macro WriteUninstallEntry
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
!macroend

; Stops with 1638 ("another version of this product is already installed") and the reason.
!macro Refuse MESSAGE
  MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
  SetErrorLevel 1638
  Quit
!macroend

Function .onInit
  StrCpy $Mode AllUsers
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    StrCpy $Mode CurrentUser
    StrCpy $ModeGiven 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    ${If} $Mode == CurrentUser
      MessageBox MB_OK|MB_ICONSTOP "Choose one of /AllUsers and /CurrentUser." /SD IDOK
      SetErrorLevel 87
      Quit
    ${EndIf}
    StrCpy $ModeGiven 1
  ${EndIf}
  ; The Windows Installer package registers the same class through its own rows, which this installer's
  ; regsvr32 calls would overwrite and its uninstaller remove: it must not install over the package.
  ; MsiEnumRelatedProducts answers 0 (ERROR_SUCCESS) when a product of the package's upgrade code is
  ; installed. The status is 1638, "another version of this product is already installed".
  ; The packages for one user have an upgrade code of their own and register under the user's classes,
  ; where this installer's registration (either mode) writes too.
  System::Call 'msi::MsiEnumRelatedProductsW(w "{${MSI_UPGRADE_CODE}}", i 0, i 0, w .r1) i .r0'
  ${If} $0 != 0
    System::Call 'msi::MsiEnumRelatedProductsW(w "{${MSI_USER_UPGRADE_CODE}}", i 0, i 0, w .r1) i .r0'
  ${EndIf}
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed from its Windows Installer package ($1). Uninstall it first (Settings, Apps), then run this setup program." /SD IDOK
    SetErrorLevel 1638
    Quit
  ${EndIf}
  ${If} ${Silent}
  ${OrIf} $ModeGiven == 1
    Call BeginMode
  ${EndIf}
FunctionEnd

; The user's programs folder, as Windows names it, else where Windows puts it.
Function ChooseUserFolder
  SetShellVarContext current
  GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
  ${EndIf}
  StrCpy $INSTDIR "$INSTDIR\${FOLDER}"
FunctionEnd

; Once the mode is chosen: the folders, elevation for all users, and the installations this one must not
; meet. Both modes register the same class, one under HKEY_LOCAL_MACHINE\Software\Classes, one under the
; user's HKEY_CURRENT_USER\Software\Classes, and Windows merges the two for the user: regsvr32 of an
; installation for all users run by a user whose own registration is there writes into the user's keys
; (a value written through HKEY_CLASSES_ROOT goes to the user's key where one exists), which the removal
; for the user then takes, and either removal run by that user deletes the user's keys first. So each
; refuses while the other is installed for this user; another user's installation for herself alone is in
; a registry this one never writes.
Function BeginMode
  ${If} $Mode == CurrentUser
    Call ChooseUserFolder
  ${EndIf}
  !insertmacro ChooseFolders
  ${If} $Mode == AllUsers
    ${GetParameters} $R0
    !insertmacro RunElevated "" "/AllUsers $R0"
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      !insertmacro Refuse "${PRODUCT} is installed for your user account alone ($0). Uninstall it first (Settings, Apps), then install it for all users."
    ${EndIf}
  ${Else}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      !insertmacro Refuse "${PRODUCT} is installed for all users of this computer ($0), so you have it already. To install it for yourself alone, an administrator must uninstall that first."
    ${EndIf}
  ${EndIf}
FunctionEnd

; The first page of the interactive installer: for all users (the default) or for the current user alone.
Function ModePage
  ${If} $ModeGiven == 1
    Abort
  ${EndIf}
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "Install ${PRODUCT} for:"
  Pop $0
  ${NSD_CreateRadioButton} 10u 30u -10u 12u "&Anyone who uses this computer (needs an administrator)"
  Pop $AllUsersButton
  System::Call 'advapi32::GetUserNameW(w ""r1, *i ${NSIS_MAX_STRLEN})'
  ${NSD_CreateRadioButton} 10u 48u -10u 12u "&Only for me ($1), no administrator needed"
  Pop $0
  ${If} $Mode == CurrentUser
    ${NSD_Check} $0
  ${Else}
    ${NSD_Check} $AllUsersButton
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $AllUsersButton $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Mode AllUsers
  ${Else}
    StrCpy $Mode CurrentUser
  ${EndIf}
  Call BeginMode
FunctionEnd

Function un.onInit
  ; The installation for the current user alone is the one whose entry names this uninstaller's folder,
  ; or, reached by another name of that folder, the one with a folder for each bitness beside it, which
  ; an installation for all users never has.
  StrCpy $Mode AllUsers
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${AndIf} $0 != ""
  ${OrIf} ${FileExists} "$INSTDIR\32-bit\${CONTROL}"
    StrCpy $Mode CurrentUser
  ${EndIf}
  !insertmacro ChooseFolders
  ${If} $Mode == AllUsers
    ${un.GetParameters} $R0
    !insertmacro RunElevated un. "$R0 _?=$INSTDIR"
  ${EndIf}
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=README.md" "${README}"
  SetOutPath "$INSTDIR\examples"
  File "${EXAMPLES}\checksum.vbs"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  !insertmacro WriteUninstallEntry

  SetOutPath "$Folder32"
  File "/oname=${CONTROL}" "${OCX32}"
  File "/oname=${CONTROL_MANIFEST}" "${MANIFEST32}"
  File "/oname=${ENGINE32_FILE}" "${ENGINE32}"
  !insertmacro RunRegsvr32 32 "/s $RegisterScope" "$Folder32\${CONTROL}"
  ${If} $0 != 0
    SetErrorLevel 3
    Abort "regsvr32 could not register $Folder32\${CONTROL} (exit code $0)"
  ${EndIf}
  ${If} ${RunningX64}
    SetOutPath "$Folder64"
    File "/oname=${CONTROL}" "${OCX64}"
    File "/oname=${CONTROL_MANIFEST}" "${MANIFEST64}"
    File "/oname=${ENGINE64_FILE}" "${ENGINE64}"
    !insertmacro RunRegsvr32 64 "/s $RegisterScope" "$Folder64\${CONTROL}"
    ${If} $0 != 0
      SetErrorLevel 3
      Abort "regsvr32 could not register $Folder64\${CONTROL} (exit code $0)"
    ${EndIf}
  ${EndIf}
  SetOutPath "$TEMP"
SectionEnd

Section "Uninstall"
  ; Each library's own unregistration leaves the other bitness's registration as it is. A file a running
  ; program holds (a control library still loaded) cannot be deleted now: it and the folders that hold it
  ; are removed at the next restart, and the uninstaller says so.
  ${If} ${RunningX64}
    !insertmacro RunRegsvr32 64 "/u /s $RegisterScope" "$Folder64\${CONTROL}"
    Delete /REBOOTOK "$Folder64\${CONTROL}"
    Delete /REBOOTOK "$Folder64\${CONTROL_MANIFEST}"
    Delete /REBOOTOK "$Folder64\${ENGINE64_FILE}"
    ${If} $Folder64 != $INSTDIR
      RMDir /REBOOTOK "$Folder64"
    ${EndIf}
  ${EndIf}
  !insertmacro RunRegsvr32 32 "/u /s $RegisterScope" "$Folder32\${CONTROL}"
  Delete /REBOOTOK "$Folder32\${CONTROL}"
  Delete /REBOOTOK "$Folder32\${CONTROL_MANIFEST}"
  Delete /REBOOTOK "$Folder32\${ENGINE32_FILE}"
  ${If} $Folder32 != $INSTDIR
    RMDir /REBOOTOK "$Folder32"
  ${EndIf}

  Delete /REBOOTOK "$INSTDIR\README.md"
  Delete /REBOOTOK "$INSTDIR\examples\checksum.vbs"
  RMDir /REBOOTOK "$INSTDIR\examples"
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    ; ERROR_SUCCESS_REBOOT_REQUIRED: done, once Windows restarts. Silently only the status says it.
    SetErrorLevel 3010
    MessageBox MB_YESNO|MB_ICONQUESTION "${PRODUCT} is still in use by a running program. Its remaining files will be removed when Windows restarts.$\r$\n$\r$\nRestart now?" /SD IDNO IDNO +2
    Reboot
  ${EndIf}
SectionEnd
