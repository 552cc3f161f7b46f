; An installer that ships a product's pictures, most of them as small JPEG
; files that tolvinst.exe turns back into the BMP files the product reads, on
; the user's machine. Copy it and change the names marked "your product".
;
; Build it on Linux (Debian: apt-get install nsis) or Windows with NSIS 3:
;   makensis -NOCD -DPICTURES=path/to/pictures -DTOLVINST=path/to/tolvinst.exe installer.nsi
; (-NOCD: relative paths are taken from the current folder, not the script's).
; PICTURES is the folder `tolvpack pack -o PICTURES` made: a JPEG file for
; each picture that ships smaller so, tvfile.txt listing them, and the BMP
; files that ship smaller as they are, which tolvinst never touches. It may
; hold only BMP files and no list, or only JPEG files and the list. Every
; *.jpg and *.bmp in it ships, so it should hold nothing else (not the folder
; the BMPs were converted in). Optional: -DOUTFILE=name.exe (the installer's
; file name) and -DBMP_KB=n (the size of the restored BMP files in KB, added
; to the disk space the installer asks for, which otherwise counts only the
; files it carries).
;
; What the installer does: copies tolvinst.exe, the JPEG files, tvfile.txt
; and the BMP files into the install folder, runs tolvinst there and waits
; for it (it converts every listed JPEG into its BMP and deletes the list
; and the JPEG files it restored), then acts on its exit code:
;   0  every picture was restored;
;   1  some were not (a damaged JPEG, a full disk): tolvinst kept their JPEG
;      files and left tvfile.txt listing just them, so running it again in
;      the folder finishes the job once the cause is gone. The installer
;      names each missing BMP in the details and warns once;
;   2  tolvinst found no list it could read (missing, not in the list's
;      format, or claiming more than 200 entries) and touched nothing: the
;      installation is aborted.
; Built from a folder without tvfile.txt, the installer neither carries nor
; runs tolvinst: it copies the BMP files and that is all. A folder with JPEG
; files but no list is refused when building.
; The uninstaller removes the BMP files (restored or shipped), any JPEG file
; that could not be restored, a list tolvinst kept, tolvinst.exe, itself and
; the folder.
;
; Exit codes of this installer, also in a silent install (/S, or
; /S /D=C:\Folder with /D= last and unquoted): 0 when every picture was
; restored; 3 when it installed but some pictures were not restored (not 1,
; which an NSIS installer returns when the user cancels it); 2 when a BMP
; file could not be written, or tolvinst could not be started, found no list,
; or returned anything else.
;
; Japanese picture names: tvfile.txt holds them in Shift-JIS (code page
; 932), as the workbench and tolvpack write them, and tolvinst reads them so
; on every system; the files themselves keep their names. This script is
; UTF-8 with a byte order mark and says "Unicode true", so Japanese text in
; it (messages, a folder name) survives.

Unicode true
; 64-bit installer: it also runs under a 64-bit-only Wine.
Target amd64-unicode
; Solid LZMA packs the whole payload as one stream: the smallest installer.
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef PICTURES
  !define PICTURES "pictures"
!endif
!ifndef TOLVINST
  !define TOLVINST "tolvinst.exe"
!endif
!ifndef OUTFILE
  !define OUTFILE "TolvaneExample-installer.exe"
!endif
!if /FileExists "${PICTURES}\*.bmp"
  !define BMPS
!endif
!if /FileExists "${PICTURES}\tvfile.txt"
  !define LIST
!else if /FileExists "${PICTURES}\*.jpg"
  !error "${PICTURES} holds JPEG files but no tvfile.txt"
!endif

; Your product.
!define PRODUCT "Tolvane Example"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TolvaneExample"
; tolvinst deletes tvfile.txt; the uninstaller names the pictures from this
; copy of it.
!define RECORD "tvfile-uninstall.txt"
; The BMP files shipped as they are, one name a line, in UTF-16 so that any
; name reads back right on any system.
!define SHIPPED_RECORD "tvbmp-uninstall.txt"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"

!include "MUI2.nsh"
!include "LogicLib.nsh"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; Stay on the details, where tolvinst's result and any picture that was not
; restored are listed.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the default; a Japanese system gets Japanese.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

!ifdef BMPS
LangString NotWritten ${LANG_ENGLISH} "$R2 could not be written."
LangString NotWritten ${LANG_JAPANESE} "$R2 を書き込めませんでした。"
!endif
!ifdef LIST
LangString RestorerFailed ${LANG_ENGLISH} "The pictures could not be restored (tolvinst: $0)."
LangString RestorerFailed ${LANG_JAPANESE} "画像を復元できませんでした (tolvinst: $0)。"
LangString NoList ${LANG_ENGLISH} "The pictures could not be restored: tvfile.txt could not be read (tolvinst: 2)."
LangString NoList ${LANG_JAPANESE} "画像を復元できませんでした。tvfile.txt を読めません (tolvinst: 2)。"
LangString NotRestored ${LANG_ENGLISH} "Not restored: $R1"
LangString NotRestored ${LANG_JAPANESE} "復元されなかった画像: $R1"
LangString SomeNotRestored ${LANG_ENGLISH} "$R4 picture(s) could not be restored. Their JPEG files are kept in the folder."
LangString SomeNotRestored ${LANG_JAPANESE} "$R4 個の画像を復元できませんでした。JPEG ファイルはフォルダーに残してあります。"
!endif

; Reading a record, for the installer and the uninstaller alike: FUNCTION
; puts the next name of the file open in $R0 into $R1, "" at the end. The
; list is a count and then the JPEG and BMP name of each picture, one name a
; line; FileRead turns its Shift-JIS bytes into text through the system's
; code page, so its Japanese names read right on a Japanese system only.
!macro NAME_READER FUNCTION READ
  Function ${FUNCTION}
    next:
      ClearErrors
      ${READ} $R0 $R1
      ${If} ${Errors}
        StrCpy $R1 ""
        Return
      ${EndIf}
    trim:
      StrCpy $R9 $R1 1 -1
      ${If} $R9 == "$\r"
      ${OrIf} $R9 == "$\n"
      ${OrIf} $R9 == " "
      ${OrIf} $R9 == "$\t"
        StrCpy $R1 $R1 -1
        Goto trim
      ${EndIf}
      ; tolvinst skips blank lines too.
      StrCmp $R1 "" next
  FunctionEnd
!macroend
!ifdef LIST
  !insertmacro NAME_READER NextName FileRead
!endif
!insertmacro NAME_READER un.NextName FileRead
!insertmacro NAME_READER un.NextShippedName FileReadUTF16LE

!ifdef BMPS
; The BMP files shipped as they are wait in $PLUGINSDIR\bmp: their names are
; recorded for the uninstaller, then they are moved into $INSTDIR.
Function PlaceShippedBmps
  FileOpen $R0 "$INSTDIR\${SHIPPED_RECORD}" w
  FindFirst $R1 $R2 "$PLUGINSDIR\bmp\*"
  ${DoWhile} $R2 != ""
    ${If} $R2 != "."
    ${AndIf} $R2 != ".."
      FileWriteUTF16LE $R0 "$R2$\r$\n"
      Delete "$INSTDIR\$R2"
      ClearErrors
      Rename "$PLUGINSDIR\bmp\$R2" "$INSTDIR\$R2"
      ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "$(NotWritten)" /SD IDOK
        SetErrorLevel 2
        Abort
      ${EndIf}
    ${EndIf}
    FindNext $R1 $R2
  ${Loop}
  FindClose $R1
  FileClose $R0
FunctionEnd
!endif

!ifdef LIST
; Runs tolvinst in $INSTDIR with a hidden start and waits; its exit code in
; $0, or "not started". ExecWait and nsExec start a window program shown.
Function RunRestorerHidden
  ; STARTUPINFO (104 bytes on 64-bit Windows) with STARTF_USESHOWWINDOW and
  ; SW_HIDE, then PROCESS_INFORMATION.
  System::Call '*(i 104, i 0, p 0, p 0, p 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 1, &i2 0, &i2 0, i 0, p 0, p 0, p 0, p 0) p .r1'
  System::Call '*(p 0, p 0, i 0, i 0) p .r2'
  System::Call 'kernel32::CreateProcessW(p 0, w `"$INSTDIR\tolvinst.exe" $INSTDIR\`, p 0, p 0, i 0, i 0, p 0, p 0, p r1, p r2) i .r0'
  ${If} $0 <> 0
    System::Call '*$2(p .r3, p .r4)'
    System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r0)'
    System::Call 'kernel32::CloseHandle(p r3)'
    System::Call 'kernel32::CloseHandle(p r4)'
  ${Else}
    StrCpy $0 "not started"
  ${EndIf}
  System::Free $1
  System::Free $2
FunctionEnd

; Runs tolvinst in $INSTDIR and acts on its exit code.
Function RestorePictures
  ; The whole command line of tolvinst is the folder, unquoted, ending with
  ; the separator; blanks in it are fine. Quotes around the program's path
  ; are needed when the folder has blanks.
  ; A silent install starts it hidden: then it shows no box that would
  ; wait for a user who is not there, and its exit code says it all.
  ${If} ${Silent}
    Call RunRestorerHidden
  ${Else}
    ClearErrors
    ExecWait '"$INSTDIR\tolvinst.exe" $INSTDIR\' $0
    ${If} ${Errors}
      StrCpy $0 "not started"
    ${EndIf}
  ${EndIf}
  DetailPrint "tolvinst: $0"
  ${If} $0 S== "2"
    MessageBox MB_OK|MB_ICONSTOP "$(NoList)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${ElseIf} $0 S!= "0"
  ${AndIf} $0 S!= "1"
    MessageBox MB_OK|MB_ICONSTOP "$(RestorerFailed)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ${If} $0 S== "0"
    Return
  ${EndIf}

  ; 1: some pictures were not restored. Name every BMP that is missing.
  StrCpy $R4 0
  FileOpen $R0 "$INSTDIR\${RECORD}" r
  Call NextName
  IntOp $R3 $R1 + 0
  ${DoWhile} $R3 > 0
    Call NextName
    Call NextName
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\$R1"
      DetailPrint "$(NotRestored)"
      IntOp $R4 $R4 + 1
    ${EndIf}
    IntOp $R3 $R3 - 1
  ${Loop}
  FileClose $R0
  ${If} $R4 > 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(SomeNotRestored)" /SD IDOK
  ${EndIf}
  SetErrorLevel 3
FunctionEnd
!endif

Section "Install"
  !ifdef BMP_KB
    AddSize ${BMP_KB}
  !endif
  SetOutPath "$INSTDIR"
  !ifdef LIST
    File "${TOLVINST}"
    File /nonfatal "${PICTURES}\*.jpg"
    File "${PICTURES}\tvfile.txt"
    File "/oname=${RECORD}" "${PICTURES}\tvfile.txt"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ; After the uninstaller: it also cleans up after a failure here.
  !ifdef BMPS
    InitPluginsDir
    SetOutPath "$PLUGINSDIR\bmp"
    File "${PICTURES}\*.bmp"
    SetOutPath "$INSTDIR"
    Call PlaceShippedBmps
  !endif
  !ifdef LIST
    Call RestorePictures
  !endif
SectionEnd

; True for a plain file name in $R1: the uninstaller runs with the rights of
; an administrator, and the records lie in a folder it does not guard, so it
; deletes nothing outside the folder and expands no wildcards.
Function un.IsBareName
  StrCpy $R8 0
  ${Do}
    StrCpy $R9 $R1 1 $R8
    ${If} $R9 == ""
      Push 1
      Return
    ${EndIf}
    ${If} $R9 == "\"
    ${OrIf} $R9 == "/"
    ${OrIf} $R9 == ":"
    ${OrIf} $R9 == "*"
    ${OrIf} $R9 == "?"
      Push 0
      Return
    ${EndIf}
    IntOp $R8 $R8 + 1
  ${Loop}
FunctionEnd

; Deletes every bare name that READER gives from the file open in $R0.
!macro DELETE_NAMES READER
  ${Do}
    Call ${READER}
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    Call un.IsBareName
    Pop $R2
    ${If} $R2 == 1
      Delete "$INSTDIR\$R1"
    ${EndIf}
  ${Loop}
!macroend

Section "Uninstall"
  ; Whatever the installer was built from: an earlier one may have shipped
  ; other kinds of files into the folder.
  ClearErrors
  FileOpen $R0 "$INSTDIR\${SHIPPED_RECORD}" r
  ${IfNot} ${Errors}
    !insertmacro DELETE_NAMES un.NextShippedName
    FileClose $R0
  ${EndIf}
  Delete "$INSTDIR\${SHIPPED_RECORD}"
  ; Both names of every picture: the BMP, and the JPEG where it was kept.
  ClearErrors
  FileOpen $R0 "$INSTDIR\${RECORD}" r
  ${IfNot} ${Errors}
    Call un.NextName  ; the count
    !insertmacro DELETE_NAMES un.NextName
    FileClose $R0
  ${EndIf}
  Delete "$INSTDIR\${RECORD}"
  ; What tolvinst leaves when not every picture was restored: the list of
  ; those left, and a temporary file if it was stopped in the middle of one.
  Delete "$INSTDIR\tvfile.txt"
  Delete "$INSTDIR\~tv*.tmp"
  Delete "$INSTDIR\tolvinst.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Not /r: files the user put into the folder stay, and so does the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
