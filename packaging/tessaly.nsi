; Tessaly's installer: per user, without elevation, in English or Japanese as
; the system is set. packaging/CMakeLists.txt builds it and passes VERSION,
; STAGE (the folder of the files to ship), ICON and OUTFILE.
;
; Switches beside /S and /D=folder (which must come last):
;   /NOAUTOSTART  no start at logon (the page's check box starts cleared)
;   /RUN          a silent install starts Tessaly when it is done (the
;                 finish page asks a user who sees it)
; Exit codes of a silent install: 2 when a running Tessaly will not close,
; 3 when the folder holds other files and no Tessaly; either changes nothing.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Norv\Tessaly"
; How a running Tessaly is found and asked to exit: its main window, and the
; command of its tray menu's Exit.
!define MAIN_CLASS "Tessaly_MainWindowClass"
!define MAIN_TITLE "Tessaly"
!define IDM_EXIT 32772
!define SYNCHRONIZE 0x00100000
!define EXIT_WAIT_MS 10000

Name "Tessaly"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessaly"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tessaly ${VERSION}"

Var AutoStart
Var AutoStartBox
Var RunWhenDone

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tessaly.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Tessaly-readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderPageLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPageShow OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback for a system in neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

; Japanese pages in the font Japanese Windows draws its own dialogs in (and
; Tessaly's dialogs are laid out in), rather than the pitched font the
; language file names.
SetFont /LANG=${LANG_JAPANESE} "MS UI Gothic" 9

LangString WelcomeText ${LANG_ENGLISH} "Setup will install Tessaly ${VERSION} for you alone; no administrator rights are needed.$\r$\n$\r$\nA running Tessaly is closed first. Your tasks and settings are kept.$\r$\n$\r$\nClick Next to continue."
LangString WelcomeText ${LANG_JAPANESE} "Tessaly ${VERSION} をこのユーザー用にインストールします。$\r$\n管理者権限は必要ありません。$\r$\n$\r$\n実行中の Tessaly は先に終了します。$\r$\nタスクと設定はそのまま引き継がれます。$\r$\n$\r$\n続けるには [次へ] をクリックしてください。"
LangString OptionsTitle ${LANG_ENGLISH} "Options"
LangString OptionsTitle ${LANG_JAPANESE} "オプション"
LangString OptionsSubtitle ${LANG_ENGLISH} "Choose how Tessaly starts."
LangString OptionsSubtitle ${LANG_JAPANESE} "Tessaly の起動方法を選んでください。"
LangString AutoStartText ${LANG_ENGLISH} "&Start Tessaly when I log on to Windows"
LangString AutoStartText ${LANG_JAPANESE} "Windows へのログオン時に Tessaly を起動する(&S)"
LangString AutoStartNote ${LANG_ENGLISH} "Tessaly waits in the notification area for its hotkeys. It must be running for them to work."
LangString AutoStartNote ${LANG_JAPANESE} "Tessaly は通知領域に常駐してホットキーを待ちます。$\r$\nホットキーは Tessaly の実行中だけ使えます。"
LangString Closing ${LANG_ENGLISH} "Closing the running Tessaly..."
LangString Closing ${LANG_JAPANESE} "実行中の Tessaly を終了しています..."
LangString StillRunning ${LANG_ENGLISH} "Tessaly is running and could not be closed.$\r$\n$\r$\nExit Tessaly from its tray icon's menu, then choose Retry."
LangString StillRunning ${LANG_JAPANESE} "Tessaly が実行中で、終了できませんでした。$\r$\n$\r$\nトレイアイコンのメニューから Tessaly を終了して、$\r$\n[再試行] を選んでください。"
LangString FolderInUse ${LANG_ENGLISH} "$INSTDIR already holds other files, and no Tessaly.$\r$\n$\r$\nTessaly goes only into a new or empty folder, or over an earlier Tessaly, so that neither this install nor a later uninstall can replace or remove files that are not its own.$\r$\n$\r$\nChoose another folder."
LangString FolderInUse ${LANG_JAPANESE} "$INSTDIR には、Tessaly ではないファイルがすでにあります。$\r$\n$\r$\nインストールやアンインストールで Tessaly のものではない$\r$\nファイルを上書きしたり削除したりしないように、$\r$\nTessaly は新しいフォルダか空のフォルダ、または以前の$\r$\nTessaly があるフォルダにだけインストールします。$\r$\n$\r$\n別のフォルダを選んでください。"
LangString DeleteSettings ${LANG_ENGLISH} "Also delete your Tessaly settings (tasks, hotkeys and display settings)?$\r$\n$\r$\nChoose No to keep them for a later install."
LangString DeleteSettings ${LANG_JAPANESE} "Tessaly の設定 (タスク、ホットキー、表示の設定) も$\r$\n削除しますか?$\r$\n$\r$\n再インストールに備えて残す場合は、$\r$\n[いいえ] を選んでください。"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tessaly"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Norv"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tessaly Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (c) 2026 Norv"

; ${If} ${IsWindow} $0: the window still exists.
!macro _IsWindow _a _b _t _f
    IsWindow `${_b}` `${_t}` `${_f}`
!macroend
!define IsWindow `"" IsWindow`

Var StopResult

; Opening a program file for writing fails while any process runs it or has
; it loaded.
!macro CHECK_FILE_FREE name
    ${If} ${FileExists} "$INSTDIR\${name}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${name}" a
        ${If} ${Errors}
            StrCpy $StopResult held
        ${Else}
            FileClose $0
        ${EndIf}
    ${EndIf}
!macroend

!macro DEFINE_STOP_FUNCTIONS un
; Asks every running Tessaly to exit, as its tray menu's Exit would, and waits
; for its process to end, then checks that nothing else holds a program file
; (a copy running without its window would): replacing or removing files
; held by a process would leave a folder of old and new ones. Sets
; $StopResult to "stopped", "running" or "held".
Function ${un}StopRunning
    Push $0
    Push $1
    Push $2
    Push $3
    StrCpy $StopResult stopped
    StrCpy $3 0
    ${Do}
        FindWindow $0 "${MAIN_CLASS}" "${MAIN_TITLE}"
        ${If} $0 = 0
            ${Break}
        ${EndIf}
        ; One that comes back after its exit is not going away.
        ${If} $3 >= 3
            StrCpy $StopResult running
            ${Break}
        ${EndIf}
        IntOp $3 $3 + 1
        DetailPrint "$(Closing)"
        StrCpy $1 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
        System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${IDM_EXIT}, p 0)'
        ${If} $2 P<> 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r1'
            System::Call 'kernel32::CloseHandle(p r2)'
            ${If} $1 <> 0
                StrCpy $StopResult running
                ${Break}
            ${EndIf}
        ${Else}
            ; Without a handle to wait on, the window going is the sign.
            StrCpy $1 0
            ${DoWhile} ${IsWindow} $0
                ${If} $1 >= ${EXIT_WAIT_MS}
                    StrCpy $StopResult running
                    ${Break}
                ${EndIf}
                Sleep 100
                IntOp $1 $1 + 100
            ${Loop}
            ${If} $StopResult == running
                ${Break}
            ${EndIf}
        ${EndIf}
    ${Loop}
    ${If} $StopResult == stopped
        !insertmacro CHECK_FILE_FREE "Tessaly.exe"
        !insertmacro CHECK_FILE_FREE "quillet.dll"
        !insertmacro CHECK_FILE_FREE "pirnel.dll"
        !insertmacro CHECK_FILE_FREE "Ombrel.exe"
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Nothing is replaced or removed until Tessaly has stopped. When it will not,
; the user may retry or cancel; a silent run ends with exit code 2, leaving
; everything as it was.
Function ${un}EnsureStopped
    ${Do}
        Call ${un}StopRunning
        ${If} $StopResult == stopped
            ${Break}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY +3
        SetErrorLevel 2
        Abort
    ${Loop}
FunctionEnd
!macroend

!insertmacro DEFINE_STOP_FUNCTIONS ""
!insertmacro DEFINE_STOP_FUNCTIONS "un."

Var FolderRefused

; A folder that holds anything but an earlier Tessaly may hold a user's own
; files under the names the install writes and the uninstall deletes. Sets
; $FolderRefused to 1 for such a folder, 0 for a new, empty or earlier
; Tessaly's one.
Function CheckInstallFolder
    Push $0
    Push $1
    StrCpy $FolderRefused 0
    ${IfNot} ${FileExists} "$INSTDIR\Tessaly.exe"
        ClearErrors
        FindFirst $0 $1 "$INSTDIR\*"
        ${DoUntil} ${Errors}
            ${If} $1 != "."
            ${AndIf} $1 != ".."
                StrCpy $FolderRefused 1
                ${Break}
            ${EndIf}
            FindNext $0 $1
        ${Loop}
        FindClose $0
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

Function FolderPageLeave
    Call CheckInstallFolder
    ${If} $FolderRefused = 1
        MessageBox MB_OK|MB_ICONEXCLAMATION "$(FolderInUse)"
        Abort
    ${EndIf}
FunctionEnd

Function .onInit
    ; A silent install has no folder page: it ends before anything changes,
    ; a running Tessaly left running too.
    ${If} ${Silent}
        Call CheckInstallFolder
        ${If} $FolderRefused = 1
            SetErrorLevel 3
            Quit
        ${EndIf}
    ${EndIf}
    StrCpy $AutoStart 1
    StrCpy $RunWhenDone 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOAUTOSTART" $1
    ${IfNot} ${Errors}
        StrCpy $AutoStart 0
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/RUN" $1
    ${IfNot} ${Errors}
        StrCpy $RunWhenDone 1
    ${EndIf}
FunctionEnd

Function OptionsPageShow
    !insertmacro MUI_HEADER_TEXT "$(OptionsTitle)" "$(OptionsSubtitle)"
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateCheckbox} 0 0 100% 12u "$(AutoStartText)"
    Pop $AutoStartBox
    ${If} $AutoStart = 1
        ${NSD_Check} $AutoStartBox
    ${EndIf}
    ${NSD_CreateLabel} 12u 16u -12u 24u "$(AutoStartNote)"
    Pop $0
    nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
    ${NSD_GetState} $AutoStartBox $0
    ${If} $0 = ${BST_CHECKED}
        StrCpy $AutoStart 1
    ${Else}
        StrCpy $AutoStart 0
    ${EndIf}
FunctionEnd

Section "-Tessaly" SectionMain
    Call EnsureStopped

    ; An earlier installer wrote its readme and licence under plain names,
    ; writing over whatever was there, and its uninstaller, replaced now,
    ; would have removed them: after this nothing would. A folder with an
    ; uninstaller and Tessaly.exe but no Tessaly-readme.txt is such an
    ; install's.
    ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
    ${AndIf} ${FileExists} "$INSTDIR\Tessaly.exe"
    ${AndIfNot} ${FileExists} "$INSTDIR\Tessaly-readme.txt"
        Delete "$INSTDIR\readme.txt"
        Delete "$INSTDIR\LICENSE.txt"
    ${EndIf}

    SetOutPath "$INSTDIR"
    File "${STAGE}/Tessaly.exe"
    File "${STAGE}/quillet.dll"
    File "${STAGE}/pirnel.dll"
    File "${STAGE}/Ombrel.exe"
    File "${STAGE}/Tessaly-readme.txt"
    File "${STAGE}/Tessaly-license.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Tessaly.lnk" "$INSTDIR\Tessaly.exe"

    ; An upgrade that leaves the box unchecked turns start at logon off.
    ${If} $AutoStart = 1
        WriteRegStr HKCU "${RUN_KEY}" "Tessaly" '"$INSTDIR\Tessaly.exe"'
    ${Else}
        DeleteRegValue HKCU "${RUN_KEY}" "Tessaly"
    ${EndIf}

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tessaly"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Norv"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tessaly.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KB: the shipped files, and the uninstaller written here.
    SectionGetSize ${SectionMain} $0
    ${GetSize} "$INSTDIR" "/M=Uninstall.exe /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; The finish page asks the same of a user who sees it.
    ${If} ${Silent}
    ${AndIf} $RunWhenDone = 1
        Exec '"$INSTDIR\Tessaly.exe"'
    ${EndIf}
SectionEnd

; Removes exactly what the installer wrote: the folder goes only when nothing
; else was put into it. The settings stay unless the user asks otherwise.
Section "Uninstall"
    Call un.EnsureStopped

    Delete "$INSTDIR\Tessaly.exe"
    Delete "$INSTDIR\quillet.dll"
    Delete "$INSTDIR\pirnel.dll"
    Delete "$INSTDIR\Ombrel.exe"
    Delete "$INSTDIR\Tessaly-readme.txt"
    Delete "$INSTDIR\Tessaly-license.txt"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\Tessaly.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Tessaly"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    ClearErrors
    EnumRegKey $0 HKCU "${SETTINGS_KEY}" 0
    ${IfNot} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(DeleteSettings)" /SD IDNO IDNO +5
        DeleteRegKey HKCU "${SETTINGS_KEY}"
        ; What a save stopped part-way may have left beside the settings.
        DeleteRegKey HKCU "${SETTINGS_KEY}.new"
        DeleteRegKey HKCU "${SETTINGS_KEY}.old"
        DeleteRegKey /ifempty HKCU "Software\Norv"
    ${EndIf}

    RMDir "$INSTDIR"
SectionEnd
