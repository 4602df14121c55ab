; The Windows installer: the programs with the Qt libraries, plugins and runtime they load, a
; Start menu entry, an uninstaller, and a firewall rule for the devices' answers. The
; windows-installer target builds it and passes:
;   VERSION       the program's version
;   FILE_VERSION  the same in four parts, for the installer's version resource
;   FILES         the file lists that installer-files.cmake made from the staging folder
;   ICON          the installer's icon
;   OUTFILE       the installer to write
; Besides NSIS's own /S (silent) and /D=FOLDER, /ADDTOPATH chooses the part that adds the
; install folder to the system PATH (off unless chosen, on its page or so).
; A 64-bit installer for the 64-bit programs: a 32-bit Windows refuses to start it, with its own
; message that the program cannot run on this PC, before any of this script runs.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!macro Require name
    !ifndef ${name}
        !error "Pass ${name} with -D${name}=..."
    !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require FILE_VERSION
!insertmacro Require FILES
!insertmacro Require ICON
!insertmacro Require OUTFILE

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WordFunc.nsh
!include "${FILES}"

!define PRODUCT "Ostrel Scout"
!define PUBLISHER "Ostrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OstrelScout"
!define FIREWALL_RULE "Ostrel Scout"
; The install is for all users, so is its PATH entry: the user's own PATH would be the elevated
; administrator's, not that of the user who started the installer.
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define DISCOVERY_PORT 44444

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Installing again goes where the installed copy is, not back to the default.
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; "Run Ostrel Scout", as the user who started the installer rather than as the administrator
; that the installer runs as: Explorer starts it.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the fallback; the installer picks by the Windows language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Polish"

LangString PreviousNotRemoved ${LANG_ENGLISH} \
    "The installed version of ${PRODUCT} could not be removed. Close ${PRODUCT} and run the installer again."
LangString PreviousNotRemoved ${LANG_POLISH} \
    "Nie udało się usunąć zainstalowanej wersji programu ${PRODUCT}. Zamknij program ${PRODUCT} i uruchom instalator ponownie."
LangString NoFirewallRule ${LANG_ENGLISH} \
    "No firewall rule added for the devices' answers: the installer does not run as an administrator."
LangString NoFirewallRule ${LANG_POLISH} \
    "Nie dodano reguły zapory dla odpowiedzi urządzeń: instalator nie działa z uprawnieniami administratora."
LangString ProgramPart ${LANG_ENGLISH} "${PRODUCT}"
LangString ProgramPart ${LANG_POLISH} "${PRODUCT}"
LangString PathPart ${LANG_ENGLISH} \
    "Add the install folder to the PATH of all users (for ostrel-scout-cli)"
LangString PathPart ${LANG_POLISH} \
    "Dodaj folder instalacji do zmiennej PATH wszystkich użytkowników (dla ostrel-scout-cli)"
LangString PathTooLong ${LANG_ENGLISH} \
    "PATH not changed: it is too long for the installer to change it safely."
LangString PathTooLong ${LANG_POLISH} \
    "Nie zmieniono zmiennej PATH: jest zbyt długa, by instalator zmienił ją bezpiecznie."
LangString ProgramRunning ${LANG_ENGLISH} \
    "${PRODUCT} is running. Close it (the window and any ostrel-scout-cli), then choose Retry."
LangString ProgramRunning ${LANG_POLISH} \
    "Program ${PRODUCT} jest uruchomiony. Zamknij go (okno i każdy ostrel-scout-cli), a potem wybierz Ponów próbę."

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "© 2026 ${PUBLISHER}"

; netsh's answer is only logged, never fatal: the programs work without the rule wherever no
; firewall drops the answers, netsh fails where the firewall service is off or policy manages
; the rules, and Wine's netsh accepts every command and makes no rule. A rule is deleted before
; it is added, so that installing again leaves one rule, not two.
!macro DeleteFirewallRule program
    nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${FIREWALL_RULE}" dir=in program="$INSTDIR\${program}"'
    Pop $0
!macroend
!macro AddFirewallRule program
    !insertmacro DeleteFirewallRule ${program}
    nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow protocol=UDP localport=${DISCOVERY_PORT} program="$INSTDIR\${program}"'
    Pop $0
!macroend

Function RunProgram
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\ostrel-scout.exe"'
FunctionEnd

; The system PATH with the folder added (+) or removed (-), as a whole entry; the entry this
; installer added is kept in the uninstall key (PathEntry), so that the uninstaller removes that
; and nothing else: not a folder that was on PATH before, nor an entry written differently. A PATH
; as long as the installer's strings could have been cut short when read, so it is never
; written back.
!macro ChangeSystemPath sign folder
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $1 "$0;${folder}"
    IntOp $2 ${NSIS_MAX_STRLEN} - 1
    ${If} $1 >= $2
        DetailPrint "$(PathTooLong)"
    ${Else}
        ${WordAdd} "$0" ";" "${sign}${folder}" $1
        ${If} $1 != $0
            WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $1
            !if "${sign}" == "+"
                WriteRegStr HKLM "${UNINSTALL_KEY}" "PathEntry" "${folder}"
            !endif
            ; Programs started from now on see the new PATH.
            SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
        ${EndIf}
    ${EndIf}
!macroend

; An installed version goes first, by its own uninstaller and its own file list, so that no file
; it had and this version lacks stays behind. "_?=" makes it run in place and wait.
Function RemovePrevious
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 == ""
    ${OrIfNot} ${FileExists} "$1\uninstall.exe"
        Return
    ${EndIf}
    ClearErrors
    ExecWait '"$1\uninstall.exe" /S _?=$1' $2
    ${If} ${Errors}
    ${OrIf} $2 != 0
        MessageBox MB_OK|MB_ICONSTOP "$(PreviousNotRemoved)" /SD IDOK
        Abort
    ${EndIf}
    Delete "$1\uninstall.exe"
    RMDir "$1"
FunctionEnd

Function AddFirewallRules
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        DetailPrint "$(NoFirewallRule)"
        Return
    ${EndIf}
    !insertmacro AddFirewallRule ostrel-scout.exe
    !insertmacro AddFirewallRule ostrel-scout-cli.exe
FunctionEnd

Section "$(ProgramPart)"
    SectionIn RO
    Call RemovePrevious
    !insertmacro InstallFiles
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\ostrel-scout.exe" "" \
        "$INSTDIR\ostrel-scout.exe" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ostrel-scout.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_SIZE_KB}

    Call AddFirewallRules
SectionEnd

Section /o "$(PathPart)" PathSection
    !insertmacro ChangeSystemPath "+" "$INSTDIR"
SectionEnd

; The PATH part is chosen by /ADDTOPATH, or when the installed copy's folder is on PATH already:
; installing again keeps what the user chose before.
Function .onInit
    SetShellVarContext all
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    ${WordAdd} "$0" ";" "+$INSTDIR" $1
    ${If} $0 != ""
    ${AndIf} $1 == $0
        !insertmacro SelectSection ${PathSection}
    ${EndIf}
    ${GetParameters} $2
    ClearErrors
    ${GetOptions} $2 "/ADDTOPATH" $3
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${PathSection}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

; Windows lets no one write to a program while it runs.
!macro AbortIfRunning program
    ${If} ${FileExists} "$INSTDIR\${program}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${program}" a
        ${If} ${Errors}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)" /SD IDCANCEL IDRETRY retry
            Abort
        ${EndIf}
        FileClose $0
    ${EndIf}
!macroend

Section Uninstall
    ; A running program would keep its files: stop before removing anything rather than halfway.
retry:
    !insertmacro AbortIfRunning ostrel-scout.exe
    !insertmacro AbortIfRunning ostrel-scout-cli.exe

    !insertmacro DeleteFirewallRule ostrel-scout.exe
    !insertmacro DeleteFirewallRule ostrel-scout-cli.exe
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "PathEntry"
    ${If} $3 != ""
        !insertmacro ChangeSystemPath "-" "$3"
    ${EndIf}
    ; Only the files installed and then their folders, each only if empty: a file a user put
    ; into the install folder stays, and so does the folder around it.
    !insertmacro UninstallFiles
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
