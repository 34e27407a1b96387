; Velmora, a stand-in product, installed and removed the way vendors do it: its uninstaller asks the user
; why with UninstallFeedback.exe before it removes the files. Copy the marked part into your own script.
;
;   makensis -DFEEDBACK_DIR=<folder with UninstallFeedback.exe> -DLANG_DIR=<the lang folder>
;            -DOUTFILE=<installer.exe> velmora.nsi
;
; Install silently into a chosen folder: VelmoraSetup.exe /S /D=C:\Programs\Velmora

Unicode true
Name "Velmora"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quarnel\Velmora"
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define PRODUCT_KEY "Software\Quarnel\Velmora3"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"

Page directory
Page instfiles
; No confirmation page: the feedback dialog is the one question the uninstaller asks.
UninstPage instfiles

Section "Velmora"
  SetOutPath "$INSTDIR"
  File "${__FILEDIR__}/Velmora.txt"
  File "${FEEDBACK_DIR}/UninstallFeedback.exe"
  ; The feedback dialog's translations: <XMLPath>Lang\<language>\Uninstall.xml
  SetOutPath "$INSTDIR\XML\Lang"
  File /r "${LANG_DIR}/*.xml"
  CreateDirectory "$INSTDIR\Data"

  ; The folders the feedback program reads (the product's first start adds StartDate).
  WriteRegStr HKCU "${PRODUCT_KEY}" "DataPath" "$INSTDIR\Data\"
  WriteRegStr HKCU "${PRODUCT_KEY}" "XMLPath" "$INSTDIR\XML\"
  WriteRegStr HKCU "${PRODUCT_KEY}" "PlugPath" "$INSTDIR\Plugins\"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Velmora"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quarnel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\UninstallFeedback.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
SectionEnd

Section "Uninstall"
  ; ---- the part to copy: ask why, before anything is removed --------------------------------------
  ; The uninstaller runs from a copy in %TEMP%; $INSTDIR is still the product's folder, so the feedback
  ; program starts from there, finds its files, and is waited for. A silent removal asks nothing.
  ; The argument is the product's display name, "_" for each space.
  IfSilent feedback_done
    ExecWait '"$INSTDIR\UninstallFeedback.exe" Velmora'
  feedback_done:
  ; ---- end of the part to copy ----------------------------------------------------------------------

  Delete "$INSTDIR\Velmora.txt"
  Delete "$INSTDIR\UninstallFeedback.exe"
  RMDir /r "$INSTDIR\XML"
  RMDir /r "$INSTDIR\Data"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${PRODUCT_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  SetAutoClose true
SectionEnd
