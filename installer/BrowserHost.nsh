; QuarrowHost.exe, the native messaging host of the "Download with Quarrow" browser extension,
; and its registration for Chrome, Edge and Firefox on this machine (all users).
;
; BROWSER_HOST_INSTALL: inside the install section, after SetOutPath "$INSTDIR", with
;   ${APPDIR} naming the folder of the shipping programs (the host and its two manifests lie
;   there beside Quarrow.exe). Needs LogicLib.nsh and x64.nsh.
; BROWSER_HOST_UNINSTALL: inside the uninstall section, before $INSTDIR is removed.
;
; Each browser finds the host through a key named after it whose default value is the full
; path of a manifest. The manifests name the host by a path relative to themselves, and allow
; only our extension: Chromium-based browsers by the extension's origin, Firefox by its ID.
; Both registry views get the keys: which one a browser reads first depends on its build.

!define BROWSER_HOST "com.storageserver.quarrow"
!define BROWSER_HOST_CHROME "Software\Google\Chrome\NativeMessagingHosts\${BROWSER_HOST}"
!define BROWSER_HOST_EDGE "Software\Microsoft\Edge\NativeMessagingHosts\${BROWSER_HOST}"
!define BROWSER_HOST_FIREFOX "Software\Mozilla\NativeMessagingHosts\${BROWSER_HOST}"

; The root names a registry view (HKLM32, HKLM64), so that the script's own view is left alone.
!macro BROWSER_HOST_KEYS_WRITE root
  WriteRegStr ${root} "${BROWSER_HOST_CHROME}" "" "$INSTDIR\${BROWSER_HOST}.json"
  WriteRegStr ${root} "${BROWSER_HOST_EDGE}" "" "$INSTDIR\${BROWSER_HOST}.json"
  WriteRegStr ${root} "${BROWSER_HOST_FIREFOX}" "" "$INSTDIR\${BROWSER_HOST}.firefox.json"
!macroend

!macro BROWSER_HOST_KEYS_DELETE root
  DeleteRegKey ${root} "${BROWSER_HOST_CHROME}"
  DeleteRegKey ${root} "${BROWSER_HOST_EDGE}"
  DeleteRegKey ${root} "${BROWSER_HOST_FIREFOX}"
!macroend

!macro BROWSER_HOST_INSTALL
  File "${APPDIR}/QuarrowHost.exe"
  File "${APPDIR}/${BROWSER_HOST}.json"
  File "${APPDIR}/${BROWSER_HOST}.firefox.json"
  !insertmacro BROWSER_HOST_KEYS_WRITE HKLM32
  ${If} ${RunningX64}
    !insertmacro BROWSER_HOST_KEYS_WRITE HKLM64
  ${EndIf}
!macroend

!macro BROWSER_HOST_UNINSTALL
  !insertmacro BROWSER_HOST_KEYS_DELETE HKLM32
  ${If} ${RunningX64}
    !insertmacro BROWSER_HOST_KEYS_DELETE HKLM64
  ${EndIf}
  Delete "$INSTDIR\QuarrowHost.exe"
  Delete "$INSTDIR\${BROWSER_HOST}.json"
  Delete "$INSTDIR\${BROWSER_HOST}.firefox.json"
!macroend
