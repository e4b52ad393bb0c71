; The Windows installer: both control libraries with their engines, the examples and the README.
;   makensis -DVERSION=1.0.0 -DOCX32=... -DOCX64=... -DENGINE32=... -DENGINE64=... -DREADME=... -DEXAMPLES=folder
;            -DOUTFILE=... -DMSI_UPGRADE_CODE=GUID [-DSIGN_SCRIPT=... (see below)] qtvchecksum.nsi
; On 64-bit Windows the 64-bit control library goes to "Program Files\QTV Checksum" and the 32-bit one to
; "Program Files (x86)\QTV Checksum", each registered by the regsvr32 of its own bitness; on 32-bit Windows
; only the 32-bit one is installed. Each has the engine of its bitness beside it, which it loads where a
; policy forbids loading programs from the temporary folder. Run with /S to install silently; the uninstaller takes /S as well.
Unicode true
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "QTV Checksum"
!define PUBLISHER "QTV Software"
!define FOLDER "QTV Checksum"
!define CONTROL "qtvchecksums100.ocx"
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
RequestExecutionLevel admin
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

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The folder of the 32-bit control library: the 32-bit programs' folder on 64-bit Windows, else $INSTDIR.
Var Folder32

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

!macro ChooseFolders
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER}"
    StrCpy $Folder32 "$PROGRAMFILES32\${FOLDER}"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\${FOLDER}"
    StrCpy $Folder32 "$INSTDIR"
  ${EndIf}
!macroend

Function .onInit
  !insertmacro ChooseFolders
  ; The Windows Installer package registers the same class through its own rows, which this installer's
  ; regsvr32 calls would overwrite and its uninstaller remove: it must not install over the package.
  ; MsiEnumRelatedProducts answers 0 (ERROR_SUCCESS) when a product of the package's upgrade code is
  ; installed. The status is 1638, "another version of this product is already installed".
  System::Call 'msi::MsiEnumRelatedProductsW(w "{${MSI_UPGRADE_CODE}}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed from its Windows Installer package ($1). Uninstall it first (Settings, Apps), then run this setup program." /SD IDOK
    SetErrorLevel 1638
    Quit
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro ChooseFolders
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=README.md" "${README}"
  SetOutPath "$INSTDIR\examples"
  File "${EXAMPLES}\checksum.vbs"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  SetOutPath "$Folder32"
  File "/oname=${CONTROL}" "${OCX32}"
  File "/oname=${ENGINE32_FILE}" "${ENGINE32}"
  !insertmacro RunRegsvr32 32 /s "$Folder32\${CONTROL}"
  ${If} $0 != 0
    SetErrorLevel 3
    Abort "regsvr32 could not register $Folder32\${CONTROL} (exit code $0)"
  ${EndIf}
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR"
    File "/oname=${CONTROL}" "${OCX64}"
    File "/oname=${ENGINE64_FILE}" "${ENGINE64}"
    !insertmacro RunRegsvr32 64 /s "$INSTDIR\${CONTROL}"
    ${If} $0 != 0
      SetErrorLevel 3
      Abort "regsvr32 could not register $INSTDIR\${CONTROL} (exit code $0)"
    ${EndIf}
  ${EndIf}
  SetOutPath "$TEMP"
SectionEnd

Section "Uninstall"
  ; Each library's own unregistration leaves the other bitness's registration as it is. A file a running
  ; program holds (a control library still loaded) cannot be deleted now: it and the folders that hold it
  ; are removed at the next restart, and the uninstaller says so.
  ${If} ${RunningX64}
    !insertmacro RunRegsvr32 64 "/u /s" "$INSTDIR\${CONTROL}"
    Delete /REBOOTOK "$INSTDIR\${CONTROL}"
    Delete /REBOOTOK "$INSTDIR\${ENGINE64_FILE}"
  ${EndIf}
  !insertmacro RunRegsvr32 32 "/u /s" "$Folder32\${CONTROL}"
  Delete /REBOOTOK "$Folder32\${CONTROL}"
  Delete /REBOOTOK "$Folder32\${ENGINE32_FILE}"
  ${If} $Folder32 != $INSTDIR
    RMDir /REBOOTOK "$Folder32"
  ${EndIf}

  Delete /REBOOTOK "$INSTDIR\README.md"
  Delete /REBOOTOK "$INSTDIR\examples\checksum.vbs"
  RMDir /REBOOTOK "$INSTDIR\examples"
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    ; ERROR_SUCCESS_REBOOT_REQUIRED: done, once Windows restarts. Silently only the status says it.
    SetErrorLevel 3010
    MessageBox MB_YESNO|MB_ICONQUESTION "${PRODUCT} is still in use by a running program. Its remaining files will be removed when Windows restarts.$\r$\n$\r$\nRestart now?" /SD IDNO IDNO +2
    Reboot
  ${EndIf}
SectionEnd
