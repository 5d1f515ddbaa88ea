; The Windows installer of mrwd.exe, built by packaging/CMakeLists.txt with
; Debian's makensis. The version, the input files and the output come from
; there as /D defines: VERSION_NUMBERS (2.9.6.0), FILE_VERSION ("2.96 build
; 681"), PRODUCT_VERSION, STAGE (the folder with the files to install, the
; 64-bit mrwd.exe among them), X86_EXE (the 32-bit mrwd.exe), ICON, LICENSE
; and OUTFILE. Only the plug-ins Debian ships are used.
;
; One installer for both platforms: itself a 32-bit program, so that it runs
; on every Windows, it installs the 64-bit program on a 64-bit Windows (into
; the 64-bit Program Files, with the 64-bit view of the registry, where the
; 64-bit server reads its settings) and the 32-bit one on a 32-bit Windows.
;
; Silent use:  mrwd-<version>-setup.exe /S [/AUTOSTART] [/SERVICE] [/D=C:\folder]
;              uninstall.exe /S     (keeps the settings and the logs)

Unicode true
; The release is the 32-bit installer. The tests also build a 64-bit twin of
; it (TARGET=amd64-unicode), never shipped, for machines whose kernel runs
; 64-bit programs only: there the same script is tried through the twin.
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinVer.nsh
!include x64.nsh

!define PRODUCT "Marotel ZedevUdo Server"
!define PUBLISHER "Marotel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\${PRODUCT}"
; The server's source in the Application event log: Event Viewer takes the
; texts of its events from mrwd.exe's message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\${PRODUCT}"
!define SETTINGS_KEY "Software\Marotel\VivavAde296"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's own autostart value: named after the executable, holding its full path.
!define RUN_VALUE "mrwd.exe"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
; BUILTIN\Users by its SID, so that the grant works on a Windows of any language.
!define USERS_SID "*S-1-5-32-545"

Name "${PRODUCT} ${FILE_VERSION}"
OutFile "${OUTFILE}"
; No InstallDir: .onInit chooses the folder once it knows the platform's
; registry view (an upgrade goes where the previous version is).
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${FILE_VERSION}"

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) Marotel"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_LANGDLL_ALLLANGUAGES
!define MUI_LANGDLL_REGISTRY_ROOT HKLM
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "InstallerLanguage"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_RESERVEFILE_LANGDLL

LangString NameProgram ${LANG_RUSSIAN} "Программа и справка"
LangString NameProgram ${LANG_ENGLISH} "Program and help"
LangString NameAutostart ${LANG_RUSSIAN} "Запуск при входе в систему"
LangString NameAutostart ${LANG_ENGLISH} "Start at logon"
LangString NameService ${LANG_RUSSIAN} "Установить и запустить сервис"
LangString NameService ${LANG_ENGLISH} "Install and start as a service"
LangString NameData ${LANG_RUSSIAN} "Удалить настройки и журналы"
LangString NameData ${LANG_ENGLISH} "Remove the settings and the logs"
LangString DescProgram ${LANG_RUSSIAN} "mrwd.exe, справка yrk.chm, заголовок SDK с примером, ярлыки в меню «Пуск»."
LangString DescProgram ${LANG_ENGLISH} "mrwd.exe, the help yrk.chm, the SDK header with its example, Start-menu shortcuts."
LangString DescAutostart ${LANG_RUSSIAN} "Сервер запускается при входе этого пользователя в систему (как флажок «Загружаться автоматически»)."
LangString DescAutostart ${LANG_ENGLISH} "The server starts when this user logs on (the same as the check box for automatic loading)."
LangString DescService ${LANG_RUSSIAN} "Сервер работает как сервис Windows с момента загрузки, до входа пользователя (mrwd.exe /i /s)."
LangString DescService ${LANG_ENGLISH} "The server runs as a Windows service from boot, before anyone logs on (mrwd.exe /i /s)."
LangString DescData ${LANG_RUSSIAN} "Удалить также настройки в реестре, список программ и папку журналов Logs."
LangString DescData ${LANG_ENGLISH} "Also remove the settings in the registry, the program list and the log folder Logs."
LangString ShortcutHelp ${LANG_RUSSIAN} "Справка"
LangString ShortcutHelp ${LANG_ENGLISH} "Help"
LangString ShortcutUninstall ${LANG_RUSSIAN} "Удалить"
LangString ShortcutUninstall ${LANG_ENGLISH} "Uninstall"
LangString StillRunning ${LANG_RUSSIAN} "Не удалось выгрузить работающий сервер: файл занят"
LangString StillRunning ${LANG_ENGLISH} "The running server could not be unloaded: the file is in use"
LangString TooOld ${LANG_RUSSIAN} "Marotel ZedevUdo Server работает на Windows 7 с пакетом обновления 1 и более новых системах."
LangString TooOld ${LANG_ENGLISH} "Marotel ZedevUdo Server runs on Windows 7 with Service Pack 1 and later systems."

Var ServiceWasInstalled

; Unloads a running server of this folder: "/k" stops the installed service
; through the service manager and ends a copy running in this session, and
; ends with a non-zero code when a server is still there after its bound
; (150 s). Then waits, up to 20 s, until mrwd.exe may be replaced or deleted,
; since the process may still be ending when its mutex is gone. Leaves 1 in
; $UnloadFailed when the server is still there: the caller stops, so that no
; file still in use is replaced or removed.
Var UnloadFailed
!macro UnloadServer un
Function ${un}UnloadServer
  StrCpy $UnloadFailed 0
  ${IfNot} ${FileExists} "$INSTDIR\mrwd.exe"
    Return
  ${EndIf}
  DetailPrint '"$INSTDIR\mrwd.exe" /k'
  ExecWait '"$INSTDIR\mrwd.exe" /k' $0
  ${If} $0 != 0
    StrCpy $UnloadFailed 1
    DetailPrint "$(StillRunning)"
    Return
  ${EndIf}
  StrCpy $0 0
  ${Do}
    ClearErrors
    FileOpen $1 "$INSTDIR\mrwd.exe" a
    ${IfNot} ${Errors}
      FileClose $1
      Return
    ${EndIf}
    IntOp $0 $0 + 1
    ${If} $0 >= 200
      StrCpy $UnloadFailed 1
      DetailPrint "$(StillRunning)"
      Return
    ${EndIf}
    Sleep 100
  ${Loop}
FunctionEnd
!macroend
!insertmacro UnloadServer ""
!insertmacro UnloadServer "un."

; Stops the install or the uninstall, with everything left as it was, when
; the server could not be unloaded. Exit code 2, as for a cancelled run.
!macro StopWhenStillRunning
  ${If} $UnloadFailed == 1
    MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

Section "!$(NameProgram)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; An upgrade: the service (stopped here, started again below) and a
  ; running copy must let go of the file first.
  Call UnloadServer
  !insertmacro StopWhenStillRunning
  ${If} ${RunningX64}
    File "${STAGE}\mrwd.exe"
  ${Else}
    File "${X86_EXE}"
  ${EndIf}
  File "${STAGE}\yrk.chm"
  File "${STAGE}\readme.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\sdk"
  File "${STAGE}\sdk\mrwd_alive.h"
  SetOutPath "$INSTDIR\sdk\example"
  File "${STAGE}\sdk\example\alive_example.c"
  SetOutPath "$INSTDIR"

  ; The server writes its log into Logs beside itself, also when a standard
  ; user runs it: users may change what is in Logs, and nothing else.
  CreateDirectory "$INSTDIR\Logs"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR\Logs" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0

  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\mrwd.exe" "" "$INSTDIR\mrwd.exe" 0
  CreateShortcut "${MENU_FOLDER}\$(ShortcutHelp).lnk" "$INSTDIR\yrk.chm"
  CreateShortcut "${MENU_FOLDER}\$(ShortcutUninstall).lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${FILE_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\mrwd.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\mrwd.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
SectionEnd

Section /o "$(NameAutostart)" SecAutostart
  ; Quoted, as the program writes it: a path with blanks would otherwise be
  ; split at the first blank.
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\mrwd.exe"'
SectionEnd

Section /o "$(NameService)" SecService
  ; The service runs as LocalSystem: its folder gets no write right for
  ; users (see below), and an existing service is only started again.
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /remove:g ${USERS_SID}'
  Pop $0
  ${If} $ServiceWasInstalled == 1
    DetailPrint '"$INSTDIR\mrwd.exe" /s'
    ExecWait '"$INSTDIR\mrwd.exe" /s'
  ${Else}
    DetailPrint '"$INSTDIR\mrwd.exe" /i /s'
    ExecWait '"$INSTDIR\mrwd.exe" /i /s'
  ${EndIf}
SectionEnd

; What the options not chosen leave behind from a previous install.
Section "-Unchosen"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 == '"$INSTDIR\mrwd.exe"'
  ${OrIf} $0 == "$INSTDIR\mrwd.exe"
      DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecService}
    ${If} $ServiceWasInstalled == 1
      ExecWait '"$INSTDIR\mrwd.exe" /r'
    ${EndIf}
    ; In desktop mode a standard user's server creates and deletes
    ; reboot.mrk beside mrwd.exe: users may add files to the folder itself
    ; (not inherited: the program's files stay read-only for them). Never
    ; with the service, whose LocalSystem process could be handed a planted
    ; DLL from a folder users may write to.
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /grant ${USERS_SID}:(WD)'
    Pop $0
  ${EndIf}
SectionEnd

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  !insertmacro MUI_LANGDLL_DISPLAY
  ; The program's floor is Windows 7 with Service Pack 1.
  StrCpy $0 0
  ${IfNot} ${AtLeastWin7}
    StrCpy $0 1
  ${ElseIf} ${IsWin7}
  ${AndIf} ${AtMostServicePack} 0
    StrCpy $0 1
  ${EndIf}
  ${If} $0 == 1
    MessageBox MB_OK|MB_ICONSTOP "$(TooOld)" /SD IDOK
    Abort
  ${EndIf}
  ; /D= on the command line has set the folder; else the previous version's
  ; folder, else Program Files of the program's own bitness.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\Marotel\ZedevUdo Server"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\Marotel\ZedevUdo Server"
    ${EndIf}
  ${EndIf}
  ; What the previous version had stays chosen: the service, the autostart.
  StrCpy $ServiceWasInstalled 0
  ClearErrors
  ReadRegStr $0 HKLM "${SERVICE_KEY}" "ImagePath"
  ${IfNot} ${Errors}
    StrCpy $ServiceWasInstalled 1
    !insertmacro SelectSection ${SecService}
  ${EndIf}
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\mrwd.exe"'
  ${OrIf} $0 == "$INSTDIR\mrwd.exe"
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
  ; Silent installs choose the optional parts on the command line.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/SERVICE" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecService}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DescProgram)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} $(DescAutostart)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecService} $(DescService)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

Section "!un.$(NameProgram)" UnSecProgram
  SectionIn RO
  Call un.UnloadServer
  !insertmacro StopWhenStillRunning
  ClearErrors
  ReadRegStr $0 HKLM "${SERVICE_KEY}" "ImagePath"
  ${IfNot} ${Errors}
    DetailPrint '"$INSTDIR\mrwd.exe" /r'
    ExecWait '"$INSTDIR\mrwd.exe" /r'
  ${EndIf}
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\mrwd.exe"'
  ${OrIf} $0 == "$INSTDIR\mrwd.exe"
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  Delete "$INSTDIR\mrwd.exe"
  Delete "$INSTDIR\yrk.chm"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\sdk\example\alive_example.c"
  RMDir "$INSTDIR\sdk\example"
  Delete "$INSTDIR\sdk\mrwd_alive.h"
  RMDir "$INSTDIR\sdk"
  Delete "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  Delete "${MENU_FOLDER}\*.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
SectionEnd

Section /o "un.$(NameData)" UnSecData
  RMDir /r "$INSTDIR\Logs"
  Delete "$INSTDIR\reboot.mrk"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Marotel"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Marotel"
SectionEnd

Section "-un.Folder"
  ; Gone only when empty: kept logs keep it.
  RMDir "$INSTDIR"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecProgram} $(DescProgram)
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecData} $(DescData)
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
