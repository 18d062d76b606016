; Korvane's installer for Windows (NSIS 3, built by packaging/windows/CMakeLists.txt).
;
; Korvane is one folder: the programs, the bitmaps and the user's own files
; (lists, settings, group files, plan, reports, journal) live side by side. So
; it is installed for the current user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Korvane, a folder the user may write. An upgrade
; replaces the programs and the bitmaps only; the uninstaller removes them,
; and the user's files only when asked to.
;
; Command line (silent deployment):
;   korvane-X.Y.Z-installation.exe /S [/PLANIFICATEUR | /SANS-PLANIFICATEUR] [/D=FOLDER]
;   desinstaller.exe /S [/SUPPRIMER-FICHIERS]
; Without either planner option, an upgrade keeps what was installed (off on
; a first installation). A FOLDER that is not named Korvane gets a Korvane
; folder inside it, since the uninstaller may remove that folder whole.
;
; Defined by the build: VERSION (0.1.0), VERSION4 (0.1.0.0), STAGE (the
; stripped programs and the bitmaps), ICON, OUTFILE.

; A 64-bit installer, as the programs it carries are (and Wine's 64-bit
; loader alone runs it).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION | VERSION4 | STAGE | ICON | OUTFILE
  !error "VERSION, VERSION4, STAGE, ICON et OUTFILE doivent être définis (-D)"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Korvane planificateur"
!define UNINSTALLER "desinstaller.exe"
!define SHORTCUT "$SMPROGRAMS\Korvane.lnk"
; The work files (tool outputs, markers) are outside the program folder.
!define WORK_DIR "$LOCALAPPDATA\Korvane\travail"

Name "Korvane"
Caption "Installation de Korvane ${VERSION}"
UninstallCaption "Désinstallation de Korvane"
BrandingText "Korvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Korvane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1036 "ProductName" "Korvane"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de Korvane"
VIAddVersionKey /LANG=1036 "CompanyName" "Les développeurs de Korvane"
VIAddVersionKey /LANG=1036 "LegalCopyright" "© 2026 Les développeurs de Korvane"

Var PlannerWasRunning

; --- the files ----------------------------------------------------------------

!macro ForEachProgram action
  !insertmacro ${action} korvane.exe
  !insertmacro ${action} netsweep.exe
  !insertmacro ${action} hostping.exe
  !insertmacro ${action} wolcmd.exe
!macroend

!macro ForEachBitmap action
  !insertmacro ${action} ecran-on.bmp
  !insertmacro ${action} ecran-off.bmp
  !insertmacro ${action} neufbox_on.bmp
  !insertmacro ${action} neufbox_off.bmp
  !insertmacro ${action} led-rouge.bmp
  !insertmacro ${action} led-vert.bmp
  !insertmacro ${action} led-orange.bmp
  !insertmacro ${action} led-gris.bmp
!macroend

!macro InstallFile name
  File "${STAGE}\${name}"
!macroend

!macro RemoveFile name
  Delete "$INSTDIR\${name}"
!macroend

; Sets $R1 to the first program of the folder that cannot be opened for
; writing (a running program's file cannot), "" when none.
!macro FirstInUse name
  ${If} $R1 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${name}"
    ClearErrors
    FileOpen $R2 "$INSTDIR\${name}" a
    ${If} ${Errors}
      StrCpy $R1 "${name}"
    ${Else}
      FileClose $R2
    ${EndIf}
  ${EndIf}
!macroend

; --- a running Korvane --------------------------------------------------------
; Korvane's window (class KorvaneMain) and the planner's hidden window
; (KorvanePlanificateur) both end on WM_CLOSE as "Quitter" does, settings
; saved. Asked first (in silent mode: yes), then given up to 20 s; then the
; programs' files must be free (a scan that netsweep.exe is finishing), for
; up to 30 s more, after which the user may retry or give up.

!macro CloseKorvaneFunction un
Function ${un}CloseKorvane
  StrCpy $PlannerWasRunning 0
  FindWindow $R3 "KorvanePlanificateur"
  FindWindow $R4 "KorvaneMain"
  ${If} $R3 <> 0
    StrCpy $PlannerWasRunning 1
  ${EndIf}
  ${If} $R3 <> 0
  ${OrIf} $R4 <> 0
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION "Korvane est ouvert (sa fenêtre ou son \
        planificateur). Il va être fermé comme par « Quitter », ses réglages enregistrés." \
        /SD IDOK IDOK close
    Abort "Korvane est resté ouvert : rien n'a été changé."
  close:
    StrCpy $R5 0
    ${Do}
      FindWindow $R3 "KorvanePlanificateur"
      FindWindow $R4 "KorvaneMain"
      ${If} $R3 = 0
      ${AndIf} $R4 = 0
        ${Break}
      ${EndIf}
      ${If} $R3 <> 0
        SendMessage $R3 ${WM_CLOSE} 0 0 /TIMEOUT=2000
      ${EndIf}
      ${If} $R4 <> 0
        SendMessage $R4 ${WM_CLOSE} 0 0 /TIMEOUT=2000
      ${EndIf}
      IntOp $R5 $R5 + 1
      ${If} $R5 > 80
        ${Break}
      ${EndIf}
      Sleep 250
    ${Loop}
  ${EndIf}
  StrCpy $R5 0
  ${Do}
    StrCpy $R1 ""
    !insertmacro ForEachProgram FirstInUse
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    IntOp $R5 $R5 + 1
    ${If} $R5 > 120
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R1 est encore en marche dans \
          $INSTDIR : fermez-le (ou attendez la fin du scan), puis « Recommencer »." \
          /SD IDCANCEL IDRETRY retry
      Abort "$R1 est encore en marche : rien n'a été changé."
    retry:
      StrCpy $R5 0
    ${EndIf}
    Sleep 250
  ${Loop}
FunctionEnd
!macroend
!insertmacro CloseKorvaneFunction ""
!insertmacro CloseKorvaneFunction "un."

; --- pages --------------------------------------------------------------------

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "Korvane ${VERSION} va être installé pour vous seul, sans droits \
    d'administrateur, dans :$\r$\n$\r$\n$INSTDIR$\r$\n$\r$\nCe dossier est aussi celui de vos \
    listes, réglages, fichiers de groupe, plan, rapports et journal : une mise à jour les garde, \
    et la désinstallation ne les supprime que si vous le demandez.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_COMPONENTSPAGE_TEXT_TOP "Le planificateur exécute sans fenêtre les allumages et \
    arrêts planifiés : lancé à l'ouverture de session, il les fait même quand la fenêtre de \
    Korvane est fermée."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\korvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Lancer Korvane"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "Les programmes sont supprimés. Vos fichiers (listes, \
    réglages, fichiers de groupe, plan, rapports, journal) restent dans $INSTDIR, à moins que \
    vous ne cochiez « Supprimer aussi mes fichiers »."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "French"

; --- installation -------------------------------------------------------------

Section "Korvane (programmes)" SecPrograms
  SectionIn RO
  Call CloseKorvane
  SetOutPath "$INSTDIR"
  !insertmacro ForEachProgram InstallFile
  !insertmacro ForEachBitmap InstallFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\korvane.exe" "" "$INSTDIR\korvane.exe" 0 \
      SW_SHOWNORMAL "" "Allumer, éteindre et surveiller les ordinateurs du réseau"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Korvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Les développeurs de Korvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvane.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecPrograms} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Lancer le planificateur à l'ouverture de session" SecPlanner
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\korvane.exe" --planificateur'
SectionEnd

; Last: the planner's entry goes when unticked, and a planner that was
; running before the upgrade runs again, the new one.
Section "-fin"
  ${IfNot} ${SectionIsSelected} ${SecPlanner}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  ${If} $PlannerWasRunning = 1
    Exec '"$INSTDIR\korvane.exe" --planificateur'
  ${EndIf}
SectionEnd

Function .onInit
  SetShellVarContext current
  ; The uninstaller may remove the folder whole: it is always Korvane's own.
  ${GetFileName} "$INSTDIR" $0
  ${If} $0 != "Korvane"
    StrCpy $INSTDIR "$INSTDIR\Korvane"
  ${EndIf}
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 != ""
    !insertmacro SelectSection ${SecPlanner}
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/PLANIFICATEUR" $2
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPlanner}
  ${EndIf}
  ClearErrors
  ${GetOptions} $1 "/SANS-PLANIFICATEUR" $2
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecPlanner}
  ${EndIf}
FunctionEnd

; --- uninstallation -----------------------------------------------------------

Section "un.Korvane (programmes)" UnSecPrograms
  SectionIn RO
  Call un.CloseKorvane
  !insertmacro ForEachProgram RemoveFile
  !insertmacro ForEachBitmap RemoveFile
  Delete "${SHORTCUT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Push "${WORK_DIR}"
  Call un.RemoveTree
  RMDir "$LOCALAPPDATA\Korvane"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.Supprimer aussi mes fichiers" UnSecUserFiles
  ${un.GetFileName} "$INSTDIR" $0
  ${If} $0 == "Korvane"
    Push "$INSTDIR"
    Call un.RemoveTree
  ${Else}
    DetailPrint "Vos fichiers restent dans $INSTDIR : ce dossier n'est pas celui de Korvane."
  ${EndIf}
SectionEnd

; Removes the folder on the stack and all it holds, as RMDir /r would, but
; never through a link (junction, symbolic link): a link is removed itself,
; what it shows stays; a folder that is a link is left as it is.
!define FILE_ATTRIBUTE_DIRECTORY 0x10
!define FILE_ATTRIBUTE_REPARSE 0x400
Function un.RemoveTree
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  System::Call 'kernel32::GetFileAttributesW(w "$R0") i .R3'
  IntOp $R4 $R3 & ${FILE_ATTRIBUTE_REPARSE}
  ${If} $R3 = -1
    Goto done
  ${ElseIf} $R4 <> 0
    DetailPrint "$R0 est un lien : laissé tel quel."
    Goto done
  ${EndIf}
  FindFirst $R1 $R2 "$R0\*"
  ${DoWhile} $R2 != ""
    ${If} $R2 != "."
    ${AndIf} $R2 != ".."
      System::Call 'kernel32::GetFileAttributesW(w "$R0\$R2") i .R3'
      IntOp $R4 $R3 & ${FILE_ATTRIBUTE_REPARSE}
      ${If} $R4 <> 0
        RMDir "$R0\$R2"
        Delete "$R0\$R2"
      ${Else}
        IntOp $R4 $R3 & ${FILE_ATTRIBUTE_DIRECTORY}
        ${If} $R4 <> 0
          Push "$R0\$R2"
          Call un.RemoveTree
        ${Else}
          SetFileAttributes "$R0\$R2" NORMAL
          Delete "$R0\$R2"
        ${EndIf}
      ${EndIf}
    ${EndIf}
    FindNext $R1 $R2
  ${Loop}
  FindClose $R1
  RMDir "$R0"
done:
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

Function un.onInit
  SetShellVarContext current
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/SUPPRIMER-FICHIERS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecUserFiles}
  ${EndIf}
FunctionEnd
