; Setup: installs, registers, upgrades and removes Quarrow, its browser add-in Brevlet
; and the set-up wizard Kestane. Built twice by scripts/build.sh, once per architecture:
;   makensis -DARCH=x86|amd64 -DAPPDIR=<app folder of that architecture>
;            -DBREVLET32=<i686 Brevlet.dll> -DBREVLET64=<x86_64 Brevlet.dll>
;            [-DWIZARDDIR=<wizard folder of that architecture>] -DOUTFILE=<Setup.exe> installer/Quarrow.nsi
; ARCH=x86 makes Setup.exe (32-bit programs, for every Windows), ARCH=amd64 Setup64.exe (64-bit
; programs, for 64-bit Windows). The wizard is left out when WIZARDDIR is not given. makensis
; works in this folder, so the project paths below are relative to it.

!if "${ARCH}" == "amd64"
  Target amd64-unicode
  !define BITS 64
  !define OTHER_BITS 32
  ; ${RunningX64} is known when building: the branches it leaves out are expected.
  !pragma warning disable 6012
!else
  Unicode true
  !define BITS 32
  !define OTHER_BITS 64
!endif
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh
!include MUI2.nsh
!include "BrowserHost.nsh"

; Name, version and publisher are those the programs carry in their version resources (this
; makensis reads the resources of 32-bit programs only, so they come from the shared header).
!searchparse /file "../app/version.h" `#define QUARROW_VERSION_TEXT "` VERSION `"`
!searchparse /file "../app/version.h" `#define QUARROW_COMPANY "` PUBLISHER `"`
!searchparse /file "../app/version.h" `#define QUARROW_COPYRIGHT "` COPYRIGHT `"`
; "Setup" in the file name makes Windows treat it as an installer, which it is.
!pragma warning disable 9000

!define PRODUCT "Quarrow"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarrow"
!define SETTINGS_KEY "SOFTWARE\Storage Server\Quarrow"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define MENUEXT_KEY "Software\Microsoft\Internet Explorer\MenuExt\Download with Quarrow"
; Per-user set-up of this machine-wide installation: Windows runs the component's command
; once for every user at their next logon, as that user.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\{6F0A3626-B4EB-423C-9729-24CA57446B18}"
!define MENU_FOLDER "$SMPROGRAMS\Quarrow"
; The browser add-in's class, as its own registration and Quarrow's write them.
!define CLSID "{B7C86DB5-F0F7-45E1-88CB-3A92CD81F0A3}"
!define APPID "{19563580-617C-4189-914B-B2D04424C7A8}"
!define IID "{BA95964F-CB76-4DAF-9B45-623C35143313}"
!define PROGID "Brevlet.QuarrowBrevlet"
!define FRIENDLY "CQuarrowBrevlet Object"
!define TORRENT_CLASS "Quarrow_Torrent"
; The machine's classes, below which the registry views are told apart reliably (the merged
; HKEY_CLASSES_ROOT may write a user's classes instead).
!define CLASSES "Software\Classes"
; Quarrow's main window: a dialog with both job lists, and its "Exit" command.
!define MAIN_BT_LIST 1036
!define MAIN_WEB_LIST 1042
!define MENU_EXIT 32783
; Exit code of a Setup that refused its folder: one outside the protected program folders
; that exists already, or that could not be restricted to administrators.
!define EXIT_FOLDER_REFUSED 3

!ifdef WIZARDDIR
  !tempfile WIZARD_NSH
  !system 'sh wizard-files.sh "${WIZARDDIR}" > "${WIZARD_NSH}"' = 0
  !include "${WIZARD_NSH}"
  !delfile "${WIZARD_NSH}"
!else
  !define WIZARD_FILES ""
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if ${BITS} == 64
  InstallDir "$PROGRAMFILES64\Quarrow"
!else
  InstallDir "$PROGRAMFILES\Quarrow"
!endif
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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveDirectoryPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT}, its browser entry and the Storage Server Wizard will be removed from the folder below.$\r$\nYour ${PRODUCT} settings are deleted too: the remembered storage servers and the user names and passwords saved for them (which are kept in plain text)."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The folder whose Quarrow CloseQuarrow asks to exit, and the folder and file list that
; RemoveFiles clears.
Var Folder
Var FileList
; The installation in the registry view of this Setup, which an upgrade replaces.
Var OwnFolder
Var OwnList

; Asks a Quarrow that runs from $Folder to exit, and waits for it to end, so that no file is
; replaced or removed under a running program. A window that is busy (a dialog or a request in
; progress) is not interrupted: the user is asked to end it, or, when silent, the setup gives
; up with exit code 2.
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
  ; Only the Quarrow of that folder holds its files.
  System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
  System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R1) p .R2'  ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
  StrCmp $R2 0 next_window
  System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN})'
  ${If} $R3 != "$Folder\Quarrow.exe"
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

; Removes from $Folder the files an installation put there: the fixed ones and the wizard's
; image files named in $FileList ("|" between them, as recorded at installation), then each
; folder that has become empty. Whatever else the folder holds stays, and the folder with it.
; A listed name that does not lie below "image" or that climbs out of it is passed over.
!macro REMOVE_FILES un
Function ${un}RemoveFiles
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Delete "$Folder\Quarrow.exe"
  Delete "$Folder\charset.csv"
  Delete "$Folder\GetUrl.htm"
  Delete "$Folder\Brevlet.dll"
  Delete "$Folder\Brevlet64.dll"
  Delete "$Folder\QuarrowHost.exe"
  Delete "$Folder\${BROWSER_HOST}.json"
  Delete "$Folder\${BROWSER_HOST}.firefox.json"
  Delete "$Folder\Kestane.exe"
  Delete "$Folder\dhcp.bat"
  StrCpy $R0 $FileList
next_name:
  StrCmp $R0 "" listed
  StrCpy $R1 0
find_bar:
  StrCpy $R2 $R0 1 $R1
  StrCmp $R2 "" cut
  StrCmp $R2 "|" cut
  IntOp $R1 $R1 + 1
  Goto find_bar
cut:
  StrCpy $R2 $R0 $R1
  IntOp $R1 $R1 + 1
  StrCpy $R0 $R0 "" $R1
  StrCpy $R3 $R2 6
  StrCmp $R3 "image\" 0 next_name
  ${WordReplace} $R2 ".." "" "+" $R3
  StrCmp $R3 $R2 0 next_name
  Delete "$Folder\$R2"
parent:
  ${GetParent} $R2 $R2
  StrCmp $R2 "" next_name
  RMDir "$Folder\$R2"
  Goto parent
listed:
  Delete "$Folder\Uninstall.exe"
  RMDir "$Folder"
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro REMOVE_FILES ""
!insertmacro REMOVE_FILES "un."

; An empty key (NSIS writes keys only through their values).
!macro CREATE_KEY root key
  WriteRegStr ${root} "${key}" "Quarrow.tmp" ""
  DeleteRegValue ${root} "${key}" "Quarrow.tmp"
!macroend

; The add-in's registration as the library's own registration writes it, with its type library.
; Setup writes it itself rather than loading the library: nothing from the program folder runs
; with its rights. The class and interface keys exist once per registry view (one for the
; browsers of each bitness); the ProgIDs, AppIDs and the type library are shared by both.
!macro BREVLET_CLASS_KEYS view dll
  SetRegView ${view}
  ; The class key is replaced whole, so that nothing of an older registration stays.
  DeleteRegKey HKLM "${CLASSES}\CLSID\${CLSID}"
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}" "" "${FRIENDLY}"
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}" "AppID" "${APPID}"
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}\ProgID" "" "${PROGID}.1"
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}\VersionIndependentProgID" "" "${PROGID}"
  !insertmacro CREATE_KEY HKLM "${CLASSES}\CLSID\${CLSID}\Programmable"
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}\InprocServer32" "" "${dll}"
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}\InprocServer32" "ThreadingModel" ""
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}\TypeLib" "" "${APPID}"
  WriteRegStr HKLM "${CLASSES}\Interface\${IID}" "" "IQuarrowBrevlet"
  WriteRegStr HKLM "${CLASSES}\Interface\${IID}\ProxyStubClsid" "" "{00020424-0000-0000-C000-000000000046}"
  WriteRegStr HKLM "${CLASSES}\Interface\${IID}\ProxyStubClsid32" "" "{00020424-0000-0000-C000-000000000046}"
  WriteRegStr HKLM "${CLASSES}\Interface\${IID}\TypeLib" "" "${APPID}"
  WriteRegStr HKLM "${CLASSES}\Interface\${IID}\TypeLib" "Version" "1.0"
  SetRegView ${BITS}
!macroend

!macro BREVLET_SHARED_KEYS
  WriteRegStr HKLM "${CLASSES}\AppID\${APPID}" "" "Brevlet"
  WriteRegStr HKLM "${CLASSES}\AppID\Brevlet.DLL" "AppID" "${APPID}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}.1" "" "${FRIENDLY}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}.1\CLSID" "" "${CLSID}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "${FRIENDLY}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\CLSID" "" "${CLSID}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\CurVer" "" "${PROGID}.1"
  DeleteRegKey HKLM "${CLASSES}\TypeLib\${APPID}"
  WriteRegStr HKLM "${CLASSES}\TypeLib\${APPID}\1.0" "" "Brevlet 1.0 Type Library"
  WriteRegStr HKLM "${CLASSES}\TypeLib\${APPID}\1.0\0\win32" "" "$INSTDIR\Brevlet.dll"
  ${If} ${RunningX64}
    WriteRegStr HKLM "${CLASSES}\TypeLib\${APPID}\1.0\0\win64" "" "$INSTDIR\Brevlet64.dll"
  ${EndIf}
  WriteRegStr HKLM "${CLASSES}\TypeLib\${APPID}\1.0\FLAGS" "" "8"
  WriteRegStr HKLM "${CLASSES}\TypeLib\${APPID}\1.0\HELPDIR" "" "$INSTDIR"
!macroend

!macro REMOVE_CLASS_KEYS view
  SetRegView ${view}
  DeleteRegKey HKLM "${CLASSES}\${TORRENT_CLASS}"
  DeleteRegKey HKLM "${CLASSES}\${PROGID}"
  DeleteRegKey HKLM "${CLASSES}\${PROGID}.1"
  DeleteRegKey HKLM "${CLASSES}\CLSID\${CLSID}"
  DeleteRegKey HKLM "${CLASSES}\TypeLib\${APPID}"
  DeleteRegKey HKLM "${CLASSES}\Interface\${IID}"
  DeleteRegKey HKLM "${CLASSES}\AppID\${APPID}"
  DeleteRegKey HKLM "${CLASSES}\AppID\Brevlet.DLL"
!macroend

; The per-user entries of one user: the settings key, which Quarrow needs to exist before it
; remembers a server or a password, and the browser's menu entry.
!define USER_SETUP_COMMAND `"$SYSDIR\cmd.exe" /d /c reg add "HKCU\${SETTINGS_KEY}" /f >nul & reg add "HKCU\${MENUEXT_KEY}" /ve /d "$INSTDIR\GetUrl.htm" /f >nul & reg add "HKCU\${MENUEXT_KEY}" /v Contexts /t REG_DWORD /d 34 /f >nul`

; The folder and the wizard's files of the installation recorded in the current registry view
; into $Folder and $FileList; $Folder is empty where there is none. An installation that
; recorded no list had the files this Setup has.
Function ReadInstallation
  ReadRegStr $Folder HKLM "${UNINST_KEY}" "InstallLocation"
  ClearErrors
  ReadRegStr $FileList HKLM "${UNINST_KEY}" "WizardFiles"
  ${If} ${Errors}
    StrCpy $FileList "${WIZARD_FILES}"
  ${EndIf}
FunctionEnd

; Where Quarrow may go. The elevated Setup and uninstaller work in the program folder and the
; browser add-in is registered from it for every user, so only administrators may change it:
; below the protected program folders; elsewhere in a folder that Setup creates (or that
; holds the installation) and restricts to administrators. A folder of someone's that exists
; already is refused rather than having its access changed. $0: "" where allowed, else why not.
Function CheckFolder
  StrCpy $0 ""
  ${WordReplace} "$INSTDIR" ".." "" "+" $3
  ${If} $3 == "$INSTDIR"  ; no way up out of it
    StrLen $1 "$PROGRAMFILES64\"
    StrCpy $1 "$INSTDIR" $1
    StrLen $2 "$PROGRAMFILES32\"
    StrCpy $2 "$INSTDIR" $2
    ${If} $1 == "$PROGRAMFILES64\"
    ${OrIf} $2 == "$PROGRAMFILES32\"
      Return
    ${EndIf}
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    Return
  ${EndIf}
  Push $Folder
  Push $FileList
  SetRegView 32
  Call ReadInstallation
  StrCpy $1 $Folder
  SetRegView 64
  Call ReadInstallation
  SetRegView ${BITS}
  ${If} $1 != "$INSTDIR"
  ${AndIf} $Folder != "$INSTDIR"
    StrCpy $0 "$INSTDIR exists already and is not below $PROGRAMFILES64. Setup would have to restrict it to administrators.$\r$\n$\r$\nPlease choose a folder below $PROGRAMFILES64, or a new folder."
  ${EndIf}
  Pop $FileList
  Pop $Folder
FunctionEnd

Function LeaveDirectoryPage
  Call CheckFolder
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION $0
    Abort
  ${EndIf}
FunctionEnd

; Restricts a program folder outside the protected program folders to administrators (users
; may read and run), as the program folders are.
Function ProtectFolder
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $1 "$INSTDIR" $1
  StrLen $2 "$PROGRAMFILES32\"
  StrCpy $2 "$INSTDIR" $2
  ${WordReplace} "$INSTDIR" ".." "" "+" $3
  ${If} $3 == "$INSTDIR"
    ${If} $1 == "$PROGRAMFILES64\"
    ${OrIf} $2 == "$PROGRAMFILES32\"
      Return
    ${EndIf}
  ${EndIf}
  ; Owner and access list: SYSTEM and Administrators full control, Users read and execute,
  ; for the folder and everything in it, nothing inherited from above.
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", i 1, *p .r4, p 0) i .r0'
  ${If} $0 != 0
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r4, *i .r1, *p .r2, *i .r3)'
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r4, *p .r5, *i .r3)'
    ; SE_FILE_OBJECT; OWNER | DACL | PROTECTED_DACL
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r5, p 0, p r2, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r4)'
  ${Else}
    StrCpy $0 -1
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "Setup could not restrict the folder $INSTDIR to administrators (error $0).$\r$\n$\r$\nPlease choose a folder below $PROGRAMFILES64." /SD IDOK
    RMDir "$INSTDIR"
    SetErrorLevel ${EXIT_FOLDER_REFUSED}
    Quit
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO
  SetShellVarContext all
  ; The directory page has asked already; a silent Setup learns it here, before any change.
  Call CheckFolder
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
    SetErrorLevel ${EXIT_FOLDER_REFUSED}
    Quit
  ${EndIf}
  ; Every Quarrow that runs from a folder this Setup changes ends first, before anything is
  ; changed: the one of the chosen folder, of the installation there is (which the upgrade
  ; replaces) and of an installation of the other architecture (a 32-bit one on 64-bit
  ; Windows, or the other way round), which this one replaces too.
  StrCpy $Folder $INSTDIR
  Call CloseQuarrow
  Call ReadInstallation
  StrCpy $OwnFolder $Folder
  StrCpy $OwnList $FileList
  Call CloseQuarrow
  StrCpy $Folder ""
  ${If} ${RunningX64}
    SetRegView ${OTHER_BITS}
    Call ReadInstallation
    SetRegView ${BITS}
    Call CloseQuarrow
  ${EndIf}

  ; The other installation goes: its files and its entry in the list of installed programs.
  ; The user's settings stay, and so does the torrent association it remembered.
  ${If} $Folder != ""
    DetailPrint "Removing the installation in $Folder"
    Call RemoveFiles
    SetRegView ${OTHER_BITS}
    ClearErrors
    ReadRegStr $0 HKLM "${UNINST_KEY}" "TorrentBefore"
    ${If} ${Errors}
      StrCpy $1 0
    ${Else}
      StrCpy $1 1
    ${EndIf}
    DeleteRegKey HKLM "${UNINST_KEY}"
    SetRegView ${BITS}
    ${If} $1 == 1
      WriteRegStr HKLM "${UNINST_KEY}" "TorrentBefore" $0
    ${EndIf}
  ${EndIf}
  ; The files of the installation being upgraded go too, so that a file that is no longer
  ; shipped (a language of the wizard) does not stay behind.
  ${If} $OwnFolder != ""
    StrCpy $Folder $OwnFolder
    StrCpy $FileList $OwnList
    Call RemoveFiles
  ${EndIf}

  CreateDirectory "$INSTDIR"
  Call ProtectFolder
  SetOutPath "$INSTDIR"
  File "${APPDIR}/Quarrow.exe"
  File "${APPDIR}/charset.csv"
  File "${APPDIR}/GetUrl.htm"
  File "/oname=Brevlet.dll" "${BREVLET32}"
  ; 64-bit browsers load the 64-bit library; it lies beside Quarrow.exe too, which it starts.
  ${If} ${RunningX64}
    File "/oname=Brevlet64.dll" "${BREVLET64}"
  ${EndIf}
  !insertmacro BROWSER_HOST_INSTALL
!ifdef WIZARDDIR
  File "${WIZARDDIR}/Kestane.exe"
  File "${WIZARDDIR}/dhcp.bat"
  !insertmacro WIZARD_IMAGE_FILES
  SetOutPath "$INSTDIR"
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The installing user's own entries now; every other user's at their next logon.
  SetRegView ${BITS}
  WriteRegStr HKCU "${MENUEXT_KEY}" "" "$INSTDIR\GetUrl.htm"
  WriteRegDWORD HKCU "${MENUEXT_KEY}" "Contexts" 0x22
  !insertmacro CREATE_KEY HKCU "${SETTINGS_KEY}"
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ; The command names the program folder, which can change from one installation to the
  ; next: a version from the time of installation has it run again for every user.
  ${GetTime} "" "L" $0 $1 $2 $3 $4 $5 $6
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "$2,$1$0,$4$5,$6"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" `${USER_SETUP_COMMAND}`
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  SetRegView ${BITS}

  ; The torrent association that was there before is put back at removal: remembered once,
  ; when it is not already Quarrow's own.
  ClearErrors
  ReadRegStr $0 HKLM "${CLASSES}\.torrent" ""
  ${IfNot} ${Errors}
  ${AndIf} $0 != "${TORRENT_CLASS}"
    WriteRegStr HKLM "${UNINST_KEY}" "TorrentBefore" $0
  ${EndIf}
  ; The add-in's registration, then Quarrow's own entries (as its "/r" writes them; the class
  ; entry of 32-bit browsers gets apartment threading).
  !insertmacro BREVLET_SHARED_KEYS
  !insertmacro BREVLET_CLASS_KEYS 32 "$INSTDIR\Brevlet.dll"
  ${If} ${RunningX64}
    !insertmacro BREVLET_CLASS_KEYS 64 "$INSTDIR\Brevlet64.dll"
  ${EndIf}
  WriteRegStr HKLM "${CLASSES}\.torrent" "" "${TORRENT_CLASS}"
  WriteRegStr HKLM "${CLASSES}\${TORRENT_CLASS}\shell\open\command" "" '"$INSTDIR\Quarrow.exe" /f "%1"'
  SetRegView 32
  WriteRegStr HKLM "${CLASSES}\CLSID\${CLSID}\InprocServer32" "ThreadingModel" "apartment"
  SetRegView ${BITS}

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
  WriteRegStr HKLM "${UNINST_KEY}" "WizardFiles" "${WIZARD_FILES}"
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
  SetShellVarContext all
  SetRegView ${BITS}
  StrCpy $Folder $INSTDIR
  Call un.CloseQuarrow

  ; Torrent files open again with what opened them before, unless the user has chosen
  ; another program since.
  ReadRegStr $0 HKLM "${CLASSES}\.torrent" ""
  ${If} $0 == "${TORRENT_CLASS}"
    ClearErrors
    ReadRegStr $1 HKLM "${UNINST_KEY}" "TorrentBefore"
    ${IfNot} ${Errors}
      WriteRegStr HKLM "${CLASSES}\.torrent" "" $1
    ${Else}
      DeleteRegValue HKLM "${CLASSES}\.torrent" ""
      DeleteRegKey /ifempty HKLM "${CLASSES}\.torrent"
    ${EndIf}
  ${EndIf}
  !insertmacro REMOVE_CLASS_KEYS ${OTHER_BITS}
  !insertmacro REMOVE_CLASS_KEYS ${BITS}
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ; Other users' settings keys and menu entries stay until they are removed for each user.
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  SetRegView ${BITS}

  ; This user's settings with the remembered servers and their plain-text passwords.
  DeleteRegKey HKCU "${MENUEXT_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Storage Server"
  DeleteRegValue HKCU "${RUN_KEY}" "Quarrow"

  Delete "${MENU_FOLDER}\Quarrow.lnk"
  Delete "${MENU_FOLDER}\Storage Server Wizard.lnk"
  Delete "${MENU_FOLDER}\Uninstall Quarrow.lnk"
  RMDir "${MENU_FOLDER}"

  ClearErrors
  ReadRegStr $FileList HKLM "${UNINST_KEY}" "WizardFiles"
  ${If} ${Errors}
    StrCpy $FileList "${WIZARD_FILES}"
  ${EndIf}
  !insertmacro BROWSER_HOST_UNINSTALL
  Call un.RemoveFiles

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
  SetRegView ${BITS}
  ; An upgrade keeps the start with Windows as it was.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Quarrow"
  ${If} $0 != ""
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
FunctionEnd
