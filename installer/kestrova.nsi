; Installer of the Kestrova suite, made from one prepared installation folder.
;
;   makensis -INPUTCHARSET UTF8 -DARCH=x86|amd64 -DSOURCE_DIR=<folder> -DVERSION=<text> \
;            -DVERSION_NUMBERS=<a.b.c.d> -DTASK_XML_TOOL=<KestrovaTaskXml.exe> \
;            -DFOLDER_TOOL=<KestrovaFolderProtection.exe> -DOUTFILE=<setup.exe> installer/kestrova.nsi
;
; scripts/package lays out the folder and runs this. ARCH follows the programs: x86 for the
; 32-bit release, amd64 for the 64-bit build, so that Program Files and the registry view
; (the Run value the programs write included) are the ones the programs themselves see.
; TASK_XML_TOOL is the built helper that writes the updater's logon task definition, and
; FOLDER_TOOL the one that gives the installation folder Program Files' protection; they go
; into the installer only, never into the folder.

Unicode true
!if "${ARCH}" == "amd64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES"
!else
  !error "ARCH must be x86 or amd64"
!endif

!define PRODUCT "Kestrova"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define UNINSTALLER "uninstall.exe"
!define ERROR_ELEVATION_REQUIRED 740
!define LOGON_TASK "Kestrova Updater"

!ifndef TASK_XML_TOOL
  !error "TASK_XML_TOOL must name the built KestrovaTaskXml.exe"
!endif
!ifndef FOLDER_TOOL
  !error "FOLDER_TOOL must name the built KestrovaFolderProtection.exe"
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
RequestExecutionLevel admin
; A drive's root reaches the folder helper, which refuses it in words; NSIS's own refusal
; would silently install a silent setup ("/D=C:\") into the default folder instead.
AllowRootDirInstall true
ManifestSupportedOS all
SetCompressor /SOLID lzma
; The installer carries no file times of the build machine: the same release builds the same setup.
SetDateSave off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PRODUCT}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Veltrin.exe"

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckInstallFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Every file the installer puts into the folder; the uninstaller removes exactly these
; (and the backups the updater leaves beside them), so it never deletes anything the
; user keeps in that folder, such as downloaded packages and documents.
!macro ForEachInstalledFile MACRO
  !insertmacro ${MACRO} "Veltrin.exe"
  !insertmacro ${MACRO} "Morvane.exe"
  !insertmacro ${MACRO} "KestrovaSkin.dll"
  !insertmacro ${MACRO} "skin.zip"
  !insertmacro ${MACRO} "upload.zip"
  !insertmacro ${MACRO} "sys.ini"
!macroend

!macro InstallFile NAME
  File "${SOURCE_DIR}/${NAME}"
!macroend

!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
  Delete "$INSTDIR\${NAME}bak"
!macroend

; Both programs run elevated: only an administrator may install or remove them.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "需要管理员权限才能安装或卸载 ${PRODUCT}。" /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
!macroend

; A running program keeps its files locked. The system close command ends either program
; without side effects (the updater then starts nothing); wait until its window is gone.
!macro CloseProgram UN CLASS
  Function ${UN}Close${CLASS}
    StrCpy $1 0
    ${Do}
      FindWindow $0 "${CLASS}"
      ${If} $0 = 0
      ${OrIf} $1 >= 50
        ${Break}
      ${EndIf}
      SendMessage $0 ${WM_SYSCOMMAND} 0xF060 0 /TIMEOUT=2000
      Sleep 100
      IntOp $1 $1 + 1
    ${Loop}
  FunctionEnd
!macroend
!insertmacro CloseProgram "" "Morvane"
!insertmacro CloseProgram "" "Veltrin"
!insertmacro CloseProgram "un." "Morvane"
!insertmacro CloseProgram "un." "Veltrin"

; The updater asks for administrator rights, so Windows with UAC on skips its Run value; a
; logon task with the highest available run level starts it instead. The helper writes the
; same definition the toolbox registers when the task is missing; the installer's own replaces
; any task of that name. A failure leaves that to the toolbox.
Function RegisterLogonTask
  InitPluginsDir
  File "/oname=$PLUGINSDIR\KestrovaTaskXml.exe" "${TASK_XML_TOOL}"
  ; A drive's root ends in "\", which would escape the closing quote of the argument.
  StrCpy $1 "$INSTDIR"
  StrCpy $2 "$1" "" -1
  ${If} $2 == "\"
    StrCpy $1 "$1" -1
  ${EndIf}
  nsExec::Exec '"$PLUGINSDIR\KestrovaTaskXml.exe" "$1" "$PLUGINSDIR\logon-task.xml"'
  Pop $0
  ${If} $0 == 0
    nsExec::ExecToLog 'schtasks /create /tn "${LOGON_TASK}" /xml "$PLUGINSDIR\logon-task.xml" /f'
    Pop $0
  ${EndIf}
FunctionEnd

; Both programs run as administrator from the folder: standard users must not be able to
; change it. The helper gives a folder outside Program Files Program Files' protection,
; and refuses a drive's root and a folder holding other programs' files. $0: "check" or
; "apply"; afterwards its exit code.
Function RunFolderTool
  InitPluginsDir
  File "/oname=$PLUGINSDIR\KestrovaFolderProtection.exe" "${FOLDER_TOOL}"
  ; NSIS holds a drive's root as "C:", which names drive C's current folder: the helper gets
  ; "C:\", whose "\" must be doubled before the closing quote.
  StrCpy $1 "$INSTDIR"
  StrCpy $2 "$1" "" -1
  ${If} $2 == ":"
    StrCpy $1 "$1\\"
  ${ElseIf} $2 == "\"
    StrCpy $1 "$1\"
  ${EndIf}
  nsExec::Exec '"$PLUGINSDIR\KestrovaFolderProtection.exe" $0 "$1"'
  Pop $0
FunctionEnd

; $0: the helper's exit code, not 0.
Function ExplainFolderRefusal
  ${If} $0 == 2
    MessageBox MB_ICONSTOP|MB_OK "不能安装到驱动器的根目录 $INSTDIR，请选择其中的一个文件夹。" /SD IDOK
  ${ElseIf} $0 == 3
    MessageBox MB_ICONSTOP|MB_OK "文件夹 $INSTDIR 中已有其他程序的文件，请选择一个空文件夹或原来的 ${PRODUCT} 文件夹。" /SD IDOK
  ${ElseIf} $0 == 4
    MessageBox MB_ICONSTOP|MB_OK "只能安装到本机磁盘上的文件夹，不能安装到 $INSTDIR。" /SD IDOK
  ${Else}
    MessageBox MB_ICONSTOP|MB_OK "无法设置文件夹 $INSTDIR 的访问权限。" /SD IDOK
  ${EndIf}
FunctionEnd

; Leaving the folder page: a folder the installation would refuse keeps the user there.
Function CheckInstallFolder
  StrCpy $0 "check"
  Call RunFolderTool
  ${If} $0 != 0
    Call ExplainFolderRefusal
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro RequireAdministrator
  SetShellVarContext all
FunctionEnd

Function un.onInit
  !insertmacro RequireAdministrator
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
  ; Before anything is written there, also for a silent installation (no folder page).
  StrCpy $0 "apply"
  Call RunFolderTool
  ${If} $0 != 0
    Call ExplainFolderRefusal
    ; A silent setup's exit code says why: 2 a drive's root, 3 other programs' files, 4 not
    ; a local folder, 5 the protection failed.
    SetErrorLevel $0
    Abort "安装已取消。"
  ${EndIf}
  Call CloseMorvane
  Call CloseVeltrin
  SetOutPath "$INSTDIR"
  !insertmacro ForEachInstalledFile InstallFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\Veltrin.exe" "" "$INSTDIR\Veltrin.exe" 0
  Call RegisterLogonTask

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\Veltrin.exe$\",0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${UNINSTALLER}$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\${UNINSTALLER}$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The folder keeps its protection: it stays when the user's downloads are still in it.
Section "Uninstall"
  Call un.CloseMorvane
  Call un.CloseVeltrin
  !insertmacro ForEachInstalledFile RemoveFile
  ; The toolbox saves its Run key into the file "Veltrin" of its current folder, which is
  ; this one when it starts from the shortcut.
  Delete "$INSTDIR\Veltrin"
  ; The updater's download folder; it only ever holds files of an unfinished update.
  RMDir /r "$INSTDIR\uploadtemp"
  ; The programs' diagnostic log.
  RMDir /r "$INSTDIR\log"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Removed only when empty: downloaded packages and documents stay with their folder.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  ; The toolbox registers the updater here at its first start.
  DeleteRegValue HKLM "${RUN_KEY}" "Veltrin"
  ; Registered by the installer, or by the toolbox where it was missing.
  nsExec::ExecToLog 'schtasks /delete /tn "${LOGON_TASK}" /f'
  Pop $0
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
