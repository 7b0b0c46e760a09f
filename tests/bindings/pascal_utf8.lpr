{ The unit with the UTF-8 code page: a bind's failure naming a package
  directory whose name is Windows-1252 ("pre", the byte E7, "o") shows that
  byte as \xe7 rather than as a byte no UTF-8 string may hold. }
program pascal_utf8;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}

uses
  BaseUnix, SysUtils, Zep00001;

function setenv(Name, Value: PAnsiChar; Overwrite: Integer): Integer; cdecl; external 'c';

var
  Directory: RawByteString;
  At: Integer;
begin
  ZepSetCodePage(CP_UTF8);
  Directory := RawByteString(GetTempDir(False)) + 'zep-preXo-' + RawByteString(IntToStr(FpGetPid));
  At := Length(GetTempDir(False)) + Length('zep-pre') + 1;
  UniqueString(Directory);
  Directory[At] := AnsiChar($E7);
  FpMkdir(PAnsiChar(Directory), &700);
  setenv('ZEP_PACKAGE_PATH', PAnsiChar(Directory), 1);
  try
    InstanciaFuncoes_Balanca('4');
    Writeln('FAILED: the bind succeeded');
  except
    on Failure: EBindingFailure do
      if Pos('zep-pre\xe7o-', Failure.Causes) > 0 then
        Writeln('escaped')
      else
        Writeln('FAILED: ', Failure.Causes);
  end;
  FpRmdir(PAnsiChar(Directory));
end.
