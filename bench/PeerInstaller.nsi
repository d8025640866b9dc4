; The comparison installer for bench/run.sh: the job of SetUp.exe written as a plug-in vendor
; would write it in NSIS. Benchmark fixture only; nothing of it ships.
;
; makensis defines:
;   OUTFILE                  the installer to write
;   PACKED                   when set, the files are packed into the exe (File, default compression);
;                            otherwise they are copied from the Data folder beside it (CopyFiles)
;   DATA                     the Data folder on this machine (read by makensis when PACKED):
;                            Data\Package (package files and the drawing library), Data\Fonts
;   HOST1_KEY, HOST2_KEY     host keys below HKLM, without a trailing backslash
;   HOST1_YEAR, HOST2_YEAR   their host years; HOST1_MODULE, HOST2_MODULE: the module year loaded
;   HOST1_FONTS, HOST2_FONTS their Fonts folders
;   TIMES                    file that receives the performance counter at the start of the copy
;                            (for the benchmark driver)
; Run silently: <exe> /S /D=<destination>

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
Name "Zantrel"
Caption "Q-软件安装"
OutFile "${OUTFILE}"
InstallDir "C:\Zantrel-Peer"
ShowInstDetails nevershow

!include LogicLib.nsh

Page directory
Page instfiles

!macro Host KEY YEAR MODULE FONTS
  ; Only the leaf is replaced: a key with subkeys of its own stays, as with SetUp.exe.
  DeleteRegKey /ifempty HKLM "${KEY}\Applications\Quorel${YEAR}"
  WriteRegDWORD HKLM "${KEY}\Applications\Quorel${YEAR}" "LOADCTRLS" 2
  WriteRegStr HKLM "${KEY}\Applications\Quorel${YEAR}" "LOADER" "$INSTDIR\Zantrel\Quorel${MODULE}.ZRX"
  ; A host without a Fonts folder gets no fonts.
  ${If} ${FileExists} "${FONTS}\*.*"
!ifdef PACKED
    SetOutPath "${FONTS}"
    File "${DATA}\Fonts\*.*"
!else
    CopyFiles /SILENT "$EXEDIR\Data\Fonts\*.*" "${FONTS}"
!endif
  ${EndIf}
!macroend

Section
  SetRegView 64
  ; The start of the copy, for the benchmark driver, which times the rest up to the box.
  System::Call "kernel32::QueryPerformanceCounter(*l .r8)"
  FileOpen $0 "${TIMES}" w
  FileWrite $0 "$8"
  FileClose $0
!ifdef PACKED
  SetOutPath "$INSTDIR\Zantrel"
  File /r "${DATA}\Package\*.*"
!else
  CreateDirectory "$INSTDIR\Zantrel"
  CopyFiles /SILENT "$EXEDIR\Data\Package\*.*" "$INSTDIR\Zantrel"
!endif
  !insertmacro Host "${HOST1_KEY}" ${HOST1_YEAR} ${HOST1_MODULE} "${HOST1_FONTS}"
  !insertmacro Host "${HOST2_KEY}" ${HOST2_YEAR} ${HOST2_MODULE} "${HOST2_FONTS}"
  ; The same completion message as SetUp.exe, shown also when silent.
  MessageBox MB_OK "安装完成，重启CAD即可使用 !"
SectionEnd
