; The Windows installer: Krellon Boards Editor and its command line, for the current user (the
; default, no administrator needed) or for all users. Built by tools/windows-package.sh:
;
;   makensis -DVERSION=0.3.0 -DSTAGE=<staged folder> -DFILE_LIST=<files.nsh> \
;            -DICON=<krellon.ico> -DINSTALLED_KB=<size> -DOUTFILE=<setup.exe> krellon.nsi
;
; FILE_LIST is made from the staged folder by the same script; it lists every file once, so the
; uninstaller removes exactly what the installer wrote.
;
; Command line: /S quiet, /CURRENTUSER or /ALLUSERS, /D=<folder> (last, unquoted).

!ifndef VERSION | STAGE | FILE_LIST | ICON | INSTALLED_KB | OUTFILE
  !error "VERSION, STAGE, FILE_LIST, ICON, INSTALLED_KB and OUTFILE come from tools/windows-package.sh"
!endif

Unicode true
; The programs are x86-64 only; a 64-bit installer sees the 64-bit Program Files and registry
; as they are, with no redirection to work around.
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Krellon Boards Editor"
!define PUBLISHER "The Krellon Team"
!define EDITOR "krellon-editor.exe"
!define SHORTCUT "Krellon Boards Editor.lnk"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Krellon"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

; What Explorer's Properties show for the setup program.
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright ${PUBLISHER}"

; Per user into %LOCALAPPDATA%\Programs\Krellon, or for everyone into Program Files\Krellon.
; "Highest" runs an administrator elevated, so that the choice exists; anyone else gets the per
; user install without being asked. A reinstall finds the folder and the mode of the last one
; through the uninstall entry.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_INSTALLMODE_INSTDIR "Krellon"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

!include "${FILE_LIST}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; The pages when run by hand: licence, who it is for (administrators only), where, progress.
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; MultiUser sets its own default folder, which would override /D=.
  StrCpy $0 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function un.onInit
  ; The uninstaller works on its own folder. MultiUser would put the folder registered for its
  ; mode in its place, which is the other install's when a user has both.
  StrCpy $R0 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  ; The mode is that of the install whose entry names this folder, whatever the command line
  ; says.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $R0
    Call un.MultiUser.InstallMode.CurrentUser
  ${ElseIf} $1 == $R0
    ${If} $MultiUser.Privileges != "Admin"
    ${AndIf} $MultiUser.Privileges != "Power"
      MessageBox MB_OK|MB_ICONSTOP "Only an administrator can remove ${PRODUCT} for all users." /SD IDOK
      Quit
    ${EndIf}
    Call un.MultiUser.InstallMode.AllUsers
  ${EndIf}
  StrCpy $INSTDIR $R0
FunctionEnd

; The programs, Qt's libraries and plugins, README and licence, and the uninstaller beside them.
Section "-Program files"
  !insertmacro KRELLON_INSTALL_FILES
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
SectionEnd

; The Start menu entry, in the user's or everyone's menu as MultiUser set the shell folders. It
; starts the editor in the user's own folder, as a desktop launcher does on Linux: the editor
; works in its current folder, and Program Files is no place to write board sets.
Section "-Start menu shortcut"
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\${EDITOR}" "" "$INSTDIR\${EDITOR}" 0
SectionEnd

; A file type: its ProgID with a name, the editor's icon and how to open it, and the extension
; pointing at it. The extension's default is taken only where TAKE is "always" or nobody else
; has it: .img is also Windows' own disc image type, which a modder may well still want mounted
; on a double-click; there the editor is offered under Open with.
!macro KRELLON_REGISTER_TYPE EXT PROGID NAME TAKE
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "${NAME}"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${EDITOR},0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${EDITOR}" "%1"'
  WriteRegStr SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
  ReadRegStr $0 HKCR "${EXT}" ""
  ${If} "${TAKE}" == "always"
  ${OrIf} $0 == ""
  ${OrIf} $0 == "${PROGID}"
    WriteRegStr SHCTX "Software\Classes\${EXT}" "" "${PROGID}"
  ${EndIf}
!macroend

; Undoes KRELLON_REGISTER_TYPE as far as the type is still ours: another install of the editor
; elsewhere, or another program since, keeps what it set.
!macro KRELLON_UNREGISTER_TYPE EXT PROGID
  ReadRegStr $0 SHCTX "Software\Classes\${PROGID}\shell\open\command" ""
  ${If} $0 == '"$INSTDIR\${EDITOR}" "%1"'
    DeleteRegKey SHCTX "Software\Classes\${PROGID}"
    DeleteRegValue SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
    ReadRegStr $0 SHCTX "Software\Classes\${EXT}" ""
    ${If} $0 == "${PROGID}"
      DeleteRegValue SHCTX "Software\Classes\${EXT}" ""
    ${EndIf}
    DeleteRegKey /ifempty SHCTX "Software\Classes\${EXT}\OpenWithProgids"
    DeleteRegKey /ifempty SHCTX "Software\Classes\${EXT}"
  ${EndIf}
!macroend

; Board sets open in the editor; image files open in it too (its image explorer), under the
; user's or the machine's classes as the install mode is. Explorer hears of the change at once.
Section "-File types"
  !insertmacro KRELLON_REGISTER_TYPE ".bds" "Krellon.BoardSet" "Krellon Board Set" "always"
  !insertmacro KRELLON_REGISTER_TYPE ".img" "Krellon.ImageFile" "Krellon Image File" "if free"
  ; SHCNE_ASSOCCHANGED, SHCNF_IDLIST
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; The entry in Settings > Apps (and Programs and Features), which also tells a later install
; where this one is.
Section "-Uninstall entry"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EDITOR},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_KB}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Takes away what the sections above made and nothing else: the listed files one by one, then
; the folders only where they are empty, so a board set saved into the install folder stays,
; and with it the folder.
Section "Uninstall"
  !insertmacro KRELLON_UNREGISTER_TYPE ".bds" "Krellon.BoardSet"
  !insertmacro KRELLON_UNREGISTER_TYPE ".img" "Krellon.ImageFile"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; The Start menu entry and the uninstall entry are this folder's, unless an install into
  ; another folder has taken them over since.
  ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
  ${OrIf} $1 == ""
    Delete "$SMPROGRAMS\${SHORTCUT}"
  ${EndIf}
  ${If} $1 == $INSTDIR
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}

  !insertmacro KRELLON_REMOVE_FILES
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
