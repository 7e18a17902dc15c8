; Setup.exe: installs, registers, upgrades and removes Quarrow, its browser add-in Brevlet
; and the set-up wizard Kestane. Built by scripts/build.sh:
;   makensis -DAPPDIR=<i686 app folder> -DAPPDIR64=<x86_64 app folder>
;            [-DWIZARDDIR=<i686 wizard folder>] -DOUTFILE=<Setup.exe> installer/Quarrow.nsi
; The wizard is left out when WIZARDDIR is not given. makensis works in this folder, so the
; project paths below are relative to it.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include MUI2.nsh

; Name, version and publisher come from what the programs carry themselves.
!getdllversion "${APPDIR}/Quarrow.exe" QV_
!define VERSION "${QV_1}.${QV_2}.${QV_3}.${QV_4}"
!searchparse /file "../app/version.h" `#define QUARROW_COMPANY "` PUBLISHER `"`
!searchparse /file "../app/version.h" `#define QUARROW_COPYRIGHT "` COPYRIGHT `"`
; "Setup" in the file name makes Windows treat it as an installer, which it is.
!pragma warning disable 9000

!define PRODUCT "Quarrow"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarrow"
!define SETTINGS_KEY "SOFTWARE\Storage Server\Quarrow"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define MENU_FOLDER "$SMPROGRAMS\Quarrow"
; Quarrow's main window: a dialog with both job lists, and its "Exit" command.
!define MAIN_BT_LIST 1036
!define MAIN_WEB_LIST 1042
!define MENU_EXIT 32783

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quarrow"
; An installation that exists is upgraded where it is.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"

!define MUI_ICON "../app/res/quarrow.ico"
!define MUI_UNICON "../app/res/quarrow.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} on your computer: the download manager for your storage server, its browser entry $\"Download with Quarrow$\" and the Storage Server Wizard that sets up a new server.$\r$\n$\r$\nIf ${PRODUCT} is running, Setup asks it to exit first.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT}, its browser entry and the Storage Server Wizard will be removed from the folder below.$\r$\nYour ${PRODUCT} settings are deleted too: the remembered storage servers and the user names and passwords saved for them (which are kept in plain text)."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a Quarrow that runs from the program folder to exit, and waits for it to end, so that
; no file is replaced or removed under a running program. A window that is busy (a dialog or
; a request in progress) is not interrupted: the user is asked to end it, or, when silent,
; the setup gives up with exit code 2.
!macro CLOSE_QUARROW un
Function ${un}CloseQuarrow
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
retry:
  StrCpy $R0 0
  StrCpy $R4 ""  ; the reason to ask the user, if any
next_window:
  FindWindow $R0 "#32770" "" "" $R0
  StrCmp $R0 0 searched
  GetDlgItem $R1 $R0 ${MAIN_BT_LIST}
  StrCmp $R1 0 next_window
  GetDlgItem $R1 $R0 ${MAIN_WEB_LIST}
  StrCmp $R1 0 next_window
  ; Only the Quarrow of this folder holds its files.
  System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
  System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R1) p .R2'  ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
  StrCmp $R2 0 next_window
  System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN})'
  ${If} $R3 != "$INSTDIR\Quarrow.exe"
    System::Call 'kernel32::CloseHandle(p R2)'
    Goto next_window
  ${EndIf}
  System::Call 'user32::IsWindowEnabled(p R0) i .R1'
  ${If} $R1 == 0
    ; A dialog of its own is open on top of it.
    StrCpy $R4 "busy"
  ${Else}
    DetailPrint "Asking Quarrow to exit"
    SendMessage $R0 ${WM_COMMAND} ${MENU_EXIT} 0 /TIMEOUT=5000
    System::Call 'kernel32::WaitForSingleObject(p R2, i 15000) i .R1'
    ${If} $R1 != 0
      StrCpy $R4 "busy"
    ${EndIf}
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p R2)'
  ; Once it has ended, its window no longer marks a place in the list: search again.
  StrCmp $R4 "" retry
searched:
  ${If} $R4 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quarrow is running and cannot exit now (a dialog of it is open, or it is talking to the storage server).$\r$\n$\r$\nPlease end it with Exit in its menu, then click Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro CLOSE_QUARROW ""
!insertmacro CLOSE_QUARROW "un."

; Registers or unregisters one add-in library with the system's regsvr32 of its own bitness,
; which writes the registry view that browsers of that bitness read.
!macro REGSVR32 un_switch dll bits
  !if ${bits} == 64
    ${DisableX64FSRedirection}
  !endif
  ExecWait '"$SYSDIR\regsvr32.exe" /s ${un_switch} "${dll}"' $0
  !if ${bits} == 64
    ${EnableX64FSRedirection}
  !endif
  ${If} $0 != 0
    DetailPrint "regsvr32 ${un_switch} ${dll}: exit code $0"
  ${EndIf}
!macroend

Section "${PRODUCT}" SecMain
  SectionIn RO
  Call CloseQuarrow
  SetShellVarContext all

  SetOutPath "$INSTDIR"
  File "${APPDIR}/Quarrow.exe"
  File "${APPDIR}/charset.csv"
  File "${APPDIR}/GetUrl.htm"
  File "${APPDIR}/Brevlet.dll"
  ; 64-bit browsers load the 64-bit library; it lies beside Quarrow.exe too, which it starts.
  ${If} ${RunningX64}
    File "/oname=Brevlet64.dll" "${APPDIR64}/Brevlet.dll"
  ${EndIf}
!ifdef WIZARDDIR
  File "${WIZARDDIR}/Kestane.exe"
  File "${WIZARDDIR}/dhcp.bat"
  ; The image folder is the wizard's own: an upgrade replaces it whole, so that a language
  ; that is no longer shipped does not stay behind.
  RMDir /r "$INSTDIR\image"
  File /r "${WIZARDDIR}/image"
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Quarrow remembers servers and passwords only below a key that exists already.
  System::Call 'advapi32::RegCreateKeyExW(p 0x80000001, w "${SETTINGS_KEY}", i 0, p 0, i 0, i 0x20006, p 0, *p .R0, p 0) i .R1'
  ${If} $R1 == 0
    System::Call 'advapi32::RegCloseKey(p R0)'
  ${Else}
    DetailPrint "Could not create HKEY_CURRENT_USER\${SETTINGS_KEY} (error $R1)"
  ${EndIf}

  ; The add-in's own registration first, then Quarrow's, whose class entries (apartment
  ; threading) are what the browser should see.
  !insertmacro REGSVR32 "" "$INSTDIR\Brevlet.dll" 32
  ${If} ${RunningX64}
    !insertmacro REGSVR32 "" "$INSTDIR\Brevlet64.dll" 64
  ${EndIf}
  ExecWait '"$INSTDIR\Quarrow.exe" /r' $0

  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\Quarrow.lnk" "$INSTDIR\Quarrow.exe" "" "$INSTDIR\Quarrow.exe" 0
!ifdef WIZARDDIR
  CreateShortCut "${MENU_FOLDER}\Storage Server Wizard.lnk" "$INSTDIR\Kestane.exe" "" "$INSTDIR\Kestane.exe" 0
!endif
  CreateShortCut "${MENU_FOLDER}\Uninstall Quarrow.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Quarrow.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start with Windows" SecAutostart
SectionEnd

; The choice is applied after the files, also when it is off, so that an upgrade follows it.
Section "-Autostart"
  ${If} ${SectionIsSelected} ${SecAutostart}
    WriteRegStr HKCU "${RUN_KEY}" "Quarrow" '"$INSTDIR\Quarrow.exe"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "Quarrow"
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "Quarrow, its browser entry $\"Download with Quarrow$\" and the Storage Server Wizard."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start Quarrow in the notification area when you log on."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  Call un.CloseQuarrow
  SetShellVarContext all

  ; Quarrow's own entries first (the torrent association keeps ".torrent"), then the add-in's.
  ${If} ${FileExists} "$INSTDIR\Quarrow.exe"
    ExecWait '"$INSTDIR\Quarrow.exe" /u'
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Brevlet.dll"
    !insertmacro REGSVR32 "/u" "$INSTDIR\Brevlet.dll" 32
  ${EndIf}
  ${If} ${RunningX64}
  ${AndIf} ${FileExists} "$INSTDIR\Brevlet64.dll"
    !insertmacro REGSVR32 "/u" "$INSTDIR\Brevlet64.dll" 64
  ${EndIf}

  ; The settings with the remembered servers and their plain-text passwords.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Storage Server"
  DeleteRegValue HKCU "${RUN_KEY}" "Quarrow"

  Delete "${MENU_FOLDER}\Quarrow.lnk"
  Delete "${MENU_FOLDER}\Storage Server Wizard.lnk"
  Delete "${MENU_FOLDER}\Uninstall Quarrow.lnk"
  RMDir "${MENU_FOLDER}"

  Delete "$INSTDIR\Quarrow.exe"
  Delete "$INSTDIR\charset.csv"
  Delete "$INSTDIR\GetUrl.htm"
  Delete "$INSTDIR\Brevlet.dll"
  Delete "$INSTDIR\Brevlet64.dll"
  Delete "$INSTDIR\Kestane.exe"
  Delete "$INSTDIR\dhcp.bat"
  RMDir /r "$INSTDIR\image"
  Delete "$INSTDIR\Uninstall.exe"
  ; Whatever the user put there stays, and the folder with it.
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

; Writing the class keys and the program folder needs an administrator.
!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Please run this as an administrator: Quarrow registers itself for all users of this computer." /SD IDOK
    SetErrorLevel 740  ; the system's "elevation required"
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REQUIRE_ADMIN
  ; An upgrade keeps the start with Windows as it was.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Quarrow"
  ${If} $0 != ""
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
FunctionEnd
