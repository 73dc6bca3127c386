; The Windows installer of Q73: q73.exe with its readme, a Start menu and a
; Send To shortcut, the .Q73 file type (a double-click expands the file), a
; "Compress with Q73" verb on every file and an entry in the list of
; installed programs, with an uninstaller that takes all of that away again.
;
; Built by `cmake --build BUILD --target installer`, which passes:
;   Q73_EXE, Q73_README, Q73_ICON   files to pack (absolute paths)
;   Q73_VERSION, Q73_VERSION_QUAD   "1.1.0" and "1.1.0.0"
;   Q73_PUBLISHER, Q73_COPYRIGHT    texts from app/version.h
;   Q73_OUTFILE                     the installer to write
;
; For the current user by default, without administrator rights, into
; %LOCALAPPDATA%\Programs\Q73 and HKEY_CURRENT_USER.  With /ALLUSERS (from
; an administrator's prompt) into Program Files and HKEY_LOCAL_MACHINE.
; /S installs (or uninstalls) without asking; /D=FOLDER picks the folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include FileFunc.nsh
!include LogicLib.nsh

!define PROGID "Q73.File"
!define COMPRESS_VERB "Software\Classes\*\shell\Q73.Compress"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Q73"
!define NEEDS_ADMIN "ERROR: Installing for every user needs administrator rights: run the \
installer from an administrator's prompt, or without /ALLUSERS."
; Tells Explorer that file types changed, so that icons and menus follow.
!define SHCNE_ASSOCCHANGED 0x08000000
!macro NotifyShell
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
!macroend

Name "Q73"
Caption "Q73 ${Q73_VERSION} Setup"
OutFile "${Q73_OUTFILE}"
Icon "${Q73_ICON}"
UninstallIcon "${Q73_ICON}"
InstallDir "$LOCALAPPDATA\Programs\Q73"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${Q73_VERSION_QUAD}"
VIFileVersion "${Q73_VERSION_QUAD}"
VIAddVersionKey "ProductName" "Q73"
VIAddVersionKey "ProductVersion" "${Q73_VERSION}"
VIAddVersionKey "FileVersion" "${Q73_VERSION}"
VIAddVersionKey "FileDescription" "Q73 Setup"
VIAddVersionKey "CompanyName" "${Q73_PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${Q73_COPYRIGHT}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; "1" when installing or uninstalling for every user of the machine.
Var AllUsers

!macro ReadScope
  StrCpy $AllUsers 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
!macroend

Function .onInit
  !insertmacro ReadScope
  ${If} $AllUsers == 1
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "${NEEDS_ADMIN}" /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    ; The per-user default gives way to Program Files unless /D chose a folder.
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\Q73"
      StrCpy $INSTDIR "$PROGRAMFILES64\Q73"
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Q73"
  SetOutPath "$INSTDIR"
  File "/oname=q73.exe" "${Q73_EXE}"
  File "/oname=README.txt" "${Q73_README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Q73.lnk" "$INSTDIR\q73.exe" "" "$INSTDIR\q73.exe" 0 \
      SW_SHOWNORMAL "" "Compress and expand files"
  ; Send To is a folder of the user's own, also in a per-machine install.
  CreateShortcut "$SENDTO\Q73.lnk" "$INSTDIR\q73.exe" "" "$INSTDIR\q73.exe" 0 \
      SW_SHOWNORMAL "" "Compress and expand files"

  ; The .Q73 file type: a double-click (the open verb) expands the file.
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "Q73 compressed file"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\q73.exe",-105'
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell" "" "open"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open" "" "E&xpand with Q73"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\q73.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.q73" "" "${PROGID}"
  WriteRegNone SHCTX "Software\Classes\.q73\OpenWithProgids" "${PROGID}"

  ; "Compress with Q73" on every file; Player keeps the verb in the menu
  ; for a selection of many files.
  WriteRegStr SHCTX "${COMPRESS_VERB}" "" "Compress with Q73"
  WriteRegStr SHCTX "${COMPRESS_VERB}" "Icon" '"$INSTDIR\q73.exe",0'
  WriteRegStr SHCTX "${COMPRESS_VERB}" "MultiSelectModel" "Player"
  WriteRegStr SHCTX "${COMPRESS_VERB}\command" "" '"$INSTDIR\q73.exe" "%1"'

  ; The entry in Add/Remove Programs.
  ${If} $AllUsers == 1
    StrCpy $0 '"$INSTDIR\uninstall.exe" /ALLUSERS'
  ${Else}
    StrCpy $0 '"$INSTDIR\uninstall.exe"'
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Q73"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${Q73_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${Q73_PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\q73.exe",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" "$0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" "$0 /S"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1

  !insertmacro NotifyShell
SectionEnd

Function un.onInit
  !insertmacro ReadScope
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${EndIf}
FunctionEnd

; Removes the key named by $R0 (under SHCTX) when it holds neither keys
; nor values; a key that another program still uses stays.
Function un.RemoveKeyIfEmpty
  ClearErrors
  EnumRegKey $1 SHCTX $R0 0
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    Return
  ${EndIf}
  ; A named value, or else the default value (whose name is empty).
  ClearErrors
  EnumRegValue $1 SHCTX $R0 0
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    Return
  ${EndIf}
  ClearErrors
  ReadRegStr $1 SHCTX $R0 ""
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  DeleteRegKey SHCTX $R0
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Q73.lnk"
  Delete "$SENDTO\Q73.lnk"
  Delete "$INSTDIR\q73.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ; The user's programs folder goes too when nothing else is left in it.
  ${If} $AllUsers != 1
    RMDir "$LOCALAPPDATA\Programs"
  ${EndIf}

  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "${COMPRESS_VERB}"
  StrCpy $R0 "Software\Classes\*\shell"
  Call un.RemoveKeyIfEmpty
  StrCpy $R0 "Software\Classes\*"
  Call un.RemoveKeyIfEmpty
  ; .q73 stays with a program that has taken it over since.
  ReadRegStr $0 SHCTX "Software\Classes\.q73" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue SHCTX "Software\Classes\.q73" ""
  ${EndIf}
  DeleteRegValue SHCTX "Software\Classes\.q73\OpenWithProgids" "${PROGID}"
  StrCpy $R0 "Software\Classes\.q73\OpenWithProgids"
  Call un.RemoveKeyIfEmpty
  StrCpy $R0 "Software\Classes\.q73"
  Call un.RemoveKeyIfEmpty
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  !insertmacro NotifyShell
SectionEnd
