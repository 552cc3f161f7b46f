; An installer that ships a product's pictures, most of them as small JPEG
; files that tolvinst.exe turns back into the BMP files the product reads, on
; the user's machine: installer.nsi's installer for Inno Setup 6.3 or later.
; Copy it and change the names marked "your product".
;
; Build it on Windows:
;   iscc installer.iss
;   iscc /DPictures=path\to\pictures /DTolvinst=path\to\tolvinst.exe installer.iss
; (relative paths are taken from this script's folder). Pictures is the
; folder `tolvpack pack -o Pictures` made: a JPEG file for each picture that
; ships smaller so, tvfile.txt listing them, and the BMP files that ship
; smaller as they are, which tolvinst never touches. It may hold only BMP
; files and no list, or only JPEG files and the list. Every *.jpg and *.bmp
; in it ships, so it should hold nothing else (not the folder the BMPs were
; converted in).
;
; What the installer does: copies tolvinst.exe, the BMP files, the JPEG
; files and tvfile.txt into the install folder, runs tolvinst there, hidden,
; and waits for it (it converts every listed JPEG into its BMP and deletes
; the list and the JPEG files it restored), then acts on its exit code:
;   0  every picture was restored;
;   1  some were not (a damaged JPEG, a full disk): tolvinst kept their JPEG
;      files and left tvfile.txt listing just them, so running it again in
;      the folder finishes the job once the cause is gone. The installer warns;
;   2  tolvinst found no list it could read (missing, not in the list's
;      format, or claiming more than 200 entries) and touched nothing. The
;      installer says so.
; With no tvfile.txt in the install folder (built from BMP files alone)
; there is nothing to restore: tolvinst.exe is copied but not run, and that
; is success.
; The uninstaller removes the BMP files tolvinst restored, what Inno Setup
; installed (the BMP files shipped as they are, and JPEG files tolvinst
; kept), a list tolvinst kept, and the folder.
;
; Exit codes of this installer, also in a silent install (/VERYSILENT
; /SUPPRESSMSGBOXES, and /DIR="C:\Folder" for another folder): 0 when every
; picture was restored; 11 when it installed but some pictures were not
; restored; 12 when tolvinst could not be started, found no list, or returned
; anything else. Inno Setup itself uses 1 to 8.
;
; Japanese picture names: tvfile.txt holds them in Shift-JIS (code page 932),
; as the workbench and tolvpack write them, and tolvinst reads them so on
; every system. This script is UTF-8 with a byte order mark, so Japanese text
; in it survives.

#ifndef Pictures
  #define Pictures "pictures"
#endif
#ifndef Tolvinst
  #define Tolvinst "tolvinst.exe"
#endif

; Your product.
#define Product "Tolvane Example"
; tolvinst deletes tvfile.txt; the uninstaller names the BMP files from this
; copy of it.
#define Record "tvfile-uninstall.txt"

[Setup]
AppId=TolvaneExample
AppName={#Product}
AppVersion=1.0
DefaultDirName={autopf}\{#Product}
DisableProgramGroupPage=yes
OutputBaseFilename=TolvaneExample-installer
; tolvinst.exe is a 64-bit program.
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
PrivilegesRequired=admin
; Solid LZMA2 packs the whole payload as one stream: the smallest installer.
Compression=lzma2/max
SolidCompression=yes
WizardStyle=modern

[Languages]
Name: "english"; MessagesFile: "compiler:Default.isl"
Name: "japanese"; MessagesFile: "compiler:Languages\Japanese.isl"

[CustomMessages]
english.NotStarted=The pictures could not be restored: tolvinst.exe could not be started.
japanese.NotStarted=画像を復元できませんでした。tolvinst.exe を起動できません。
english.SomeKept=Some pictures could not be restored. Their JPEG files are kept in the folder.
japanese.SomeKept=復元できなかった画像があります。その JPEG ファイルはフォルダーに残してあります。
english.NoList=The pictures could not be restored: tvfile.txt could not be read (tolvinst: %1).
japanese.NoList=画像を復元できませんでした。tvfile.txt を読めません (tolvinst: %1)。

[Files]
; tolvinst.exe carries its version: a newer one already there is kept.
Source: "{#Tolvinst}"; DestDir: "{app}"
; The BMP files shipped as they are, the JPEG files and the list: a folder
; may lack any of them.
Source: "{#Pictures}\*.bmp"; DestDir: "{app}"; Flags: skipifsourcedoesntexist
Source: "{#Pictures}\*.jpg"; DestDir: "{app}"; Flags: skipifsourcedoesntexist
Source: "{#Pictures}\tvfile.txt"; DestDir: "{app}"; Flags: skipifsourcedoesntexist
Source: "{#Pictures}\tvfile.txt"; DestDir: "{app}"; DestName: "{#Record}"; Flags: skipifsourcedoesntexist

[UninstallDelete]
; What tolvinst leaves when not every picture was restored: the list of
; those left, and a temporary file if it was stopped in the middle of one.
Type: files; Name: "{app}\tvfile.txt"
Type: files; Name: "{app}\~tv*.tmp"
Type: dirifempty; Name: "{app}"

[Code]
var
  RestoreExitCode: Integer; { this installer's exit code: 0, 11 or 12 }

function MultiByteToWideChar(CodePage, Flags: Cardinal; Bytes: AnsiString; ByteCount: Integer;
  Text: String; TextLength: Integer): Integer;
  external 'MultiByteToWideChar@kernel32.dll stdcall';

{ Inno Setup's [Run] ignores exit codes: tolvinst runs from here, when
  there is a list to restore. }
procedure CurStepChanged(CurStep: TSetupStep);
var
  Code: Integer;
begin
  if (CurStep = ssPostInstall) and FileExists(ExpandConstant('{app}\tvfile.txt')) then begin
    { The whole command line is the folder, unquoted, ending with the
      separator; blanks in it are fine. Hidden, it shows no box that would
      hold the installer, and its exit code says it all. }
    if not Exec(ExpandConstant('{app}\tolvinst.exe'), ExpandConstant('{app}\'),
                ExpandConstant('{app}'), SW_HIDE, ewWaitUntilTerminated, Code) then begin
      RestoreExitCode := 12;
      SuppressibleMsgBox(CustomMessage('NotStarted'), mbCriticalError, MB_OK, IDOK);
    end else begin
      Log(Format('tolvinst: %d', [Code]));
      if Code = 1 then begin
        RestoreExitCode := 11;
        SuppressibleMsgBox(CustomMessage('SomeKept'), mbError, MB_OK, IDOK);
      end else if Code <> 0 then begin
        RestoreExitCode := 12;
        SuppressibleMsgBox(FmtMessage(CustomMessage('NoList'), [IntToStr(Code)]), mbCriticalError, MB_OK, IDOK);
      end;
    end;
  end;
end;

function GetCustomSetupExitCode: Integer;
begin
  Result := RestoreExitCode;
end;

{ The list's text as tolvinst reads it: Shift-JIS, whatever the system's
  code page. }
function FromShiftJis(const Bytes: AnsiString): String;
var
  Length16: Integer;
begin
  SetLength(Result, Length(Bytes));
  Length16 := MultiByteToWideChar(932, 0, Bytes, Length(Bytes), Result, Length(Bytes));
  SetLength(Result, Length16);
end;

{ True for a plain file name: the uninstaller runs with the rights of an
  administrator, and the record lies in a folder it does not guard, so it
  deletes nothing outside the folder and expands no wildcards. }
function IsBareName(const Name: String): Boolean;
var
  I: Integer;
begin
  Result := (Name <> '.') and (Name <> '..');
  for I := 1 to Length(Name) do
    if Pos(Name[I], '\/:*?') > 0 then
      Result := False;
end;

{ The BMP files are tolvinst's, not Inno Setup's: the uninstaller deletes
  them by the record. After the count, its lines are a JPEG name and a BMP
  name for each picture. }
procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
var
  Bytes: AnsiString;
  Text, Name: String;
  Line, LineEnd: Integer;
begin
  if (CurUninstallStep = usUninstall) and
     LoadStringFromFile(ExpandConstant('{app}\{#Record}'), Bytes) then begin
    Text := FromShiftJis(Bytes);
    Line := 0;
    while Text <> '' do begin
      LineEnd := Pos(#10, Text);
      if LineEnd = 0 then
        LineEnd := Length(Text) + 1;
      Name := Trim(Copy(Text, 1, LineEnd - 1));
      Delete(Text, 1, LineEnd);
      { tolvinst skips blank lines too. }
      if Name <> '' then begin
        Line := Line + 1;
        if (Line > 1) and (Line mod 2 = 1) and IsBareName(Name) then
          DeleteFile(ExpandConstant('{app}\') + Name);
      end;
    end;
  end;
end;
