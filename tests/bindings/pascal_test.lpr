{ The unit Zep00001 as a Free Pascal host sees it, against the tree's
  answering packages (each entry takes nothing and answers with its own
  name), with no cheque printer installed. The first argument is the
  version the C interface must report, the second the table of texts.
  Exits with 1 after any failure. }
program pascal_test;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}

uses
  BaseUnix, Classes, SysUtils, Variants, Zep00001;

type
  TAnswer = function: PAnsiChar; cdecl;

  TRecorder = class
    Calls: Integer;
    Seen: AnsiString;
    Refuse: Boolean;
    procedure Take(const Text, Text2, Text3, Text4: AnsiString; Kind: Integer;
      const Text5, Text6: AnsiString; Number: Integer; DataSet: Pointer);
  end;

var
  Failures: Integer;

procedure Expect(Condition: Boolean; const What: string);
begin
  if not Condition then
  begin
    Writeln('FAILED: ', What);
    Inc(Failures);
  end;
end;

function Answer(Slot: Pointer): AnsiString;
begin
  if Slot = nil then
    Result := '(nil)'
  else
    Result := TAnswer(Slot)();
end;

procedure TRecorder.Take(const Text, Text2, Text3, Text4: AnsiString; Kind: Integer;
  const Text5, Text6: AnsiString; Number: Integer; DataSet: Pointer);
begin
  Inc(Calls);
  Seen := Text + '|' + Text2 + '|' + Text3 + '|' + Text4 + '|' + IntToStr(Kind) + '|' +
    Text5 + '|' + Text6 + '|' + IntToStr(Number) + '|' + BoolToStr(DataSet = nil, 'nil', 'data');
  if Refuse then
    raise EAbort.Create('refused by the host');
end;

procedure SlotsFollowBindAndUnbind;
begin
  Expect(StartImpFiscal = nil, 'a slot is nil before its bind');
  Expect(InstanciaFuncoes_ImpFiscal(21), 'a bind returns True');
  Expect(Answer(StartImpFiscal) = 'answering/ZEP00102:StartImpFiscal',
    'StartImpFiscal reaches ' + Answer(StartImpFiscal));
  Expect(Answer(imprimeMesasAbertas) = 'answering/ZEP00102:ImprimeMesasAbertas',
    'imprimeMesasAbertas reaches ' + Answer(imprimeMesasAbertas));
  Expect(EmitirVenda = nil, 'a bind leaves the slots of other sets');
  Expect(FinalizaFuncoes_ImpFiscal(21), 'an unbind returns True');
  Expect((StartImpFiscal = nil) and (imprimeMesasAbertas = nil), 'an unbind clears the slots');
end;

procedure MissingPackageRaisesTheBindingFailure;
begin
  try
    InstanciaFuncoes_Balanca('1');
    Expect(False, 'a missing package raises');
  except
    on Failure: EBindingFailure do
    begin
      Expect(Failure.Message = 'Erro na carga do pacote: X', 'the message is ' + Failure.Message);
      Expect(Pos('cannot load package "X"', Failure.Causes) = 1, 'the causes are ' + Failure.Causes);
      Expect(Pos(#10'  /', Failure.Causes) > 0, 'a cause keeps its continuation lines');
    end;
  end;
end;

procedure SelectionsNameThePackage;
begin
  Expect(RetNomeBpl_ImpFiscal(21) = 'ZEP00102', 'fiscal code 21 selects ZEP00102');
  Expect(RetNomeBpl_Balanca('7') = 'X', 'scale code 7 selects X');
  Expect(RetNomeBpl_Display('9') = '', 'display code 9 selects none');
end;

procedure BlocksAreVariantArraysOfTaggedPairs;
var
  Block: Variant;
begin
  Block := Params_VendaItem_Zep00000('PADRAO', '12', 'N', '789', 'CAFE', 'T1', '01', 'UN', 'F',
    '18.00', 'N', 7, 2.5, 9.9, 0, 0, True);
  Expect((VarArrayLowBound(Block, 1) = 0) and (VarArrayHighBound(Block, 1) = 16), 'a block has 17 pairs from 0');
  Expect((VarArrayLowBound(Block[1], 1) = 0) and (VarArrayHighBound(Block[1], 1) = 1), 'a pair has bounds 0 and 1');
  Expect((Block[1][0] = 'INTEFERRO') and (VarType(Block[1][0]) = varString), 'key 1 is INTEFERRO, a varString');
  Expect((VarType(Block[1][1]) = varInteger) and (Block[1][1] = 7), 'INTEFERRO is the varInteger 7');
  Expect((VarType(Block[0][1]) = varString) and (Block[0][1] = 'PADRAO'), 'ESQUEMACOR is a varString');
  Expect((VarType(Block[8][1]) = varDouble) and (Block[8][1] = 2.5), 'QTDE is the varDouble 2.5');
  Expect((VarType(Block[15][1]) = varBoolean) and Block[15][1], 'UTILTEF is the varBoolean True');
end;

function Hex(const Bytes: RawByteString): string;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Length(Bytes) do
  begin
    if I > 1 then
      Result := Result + ' ';
    Result := Result + LowerCase(IntToHex(Ord(Bytes[I]), 2));
  end;
end;

{ The shared table of texts, read as a Lazarus host reads its UTF-8 text:
  each arrives as its Windows-1252 bytes and comes back unchanged, or is
  refused naming the parameter and the character. }
{ The table's text with each \uXXXX as its UTF-16 code unit, in the
  program's UTF-8; False for a lone surrogate, which no 8-bit string holds:
  the language's own conversion makes it '?' before the unit sees it. }
function Unescaped(const Escaped: string; out Text: string): Boolean;
var
  Wide: UnicodeString;
  At: Integer;
  Rest: string;
begin
  Wide := '';
  Rest := Escaped;
  At := Pos('\u', Rest);
  while At > 0 do
  begin
    Wide := Wide + UTF8Decode(Copy(Rest, 1, At - 1)) +
      WideChar(StrToInt('$' + Copy(Rest, At + 2, 4)));
    Delete(Rest, 1, At + 5);
    At := Pos('\u', Rest);
  end;
  Wide := Wide + UTF8Decode(Rest);
  for At := 1 to Length(Wide) do
    if (Ord(Wide[At]) >= $D800) and (Ord(Wide[At]) <= $DFFF) then
      if (Ord(Wide[At]) <= $DBFF) and (At < Length(Wide)) and (Ord(Wide[At + 1]) >= $DC00) and
        (Ord(Wide[At + 1]) <= $DFFF) then
        Continue
      else if (Ord(Wide[At]) >= $DC00) and (At > 1) and (Ord(Wide[At - 1]) >= $D800) and
        (Ord(Wide[At - 1]) <= $DBFF) then
        Continue
      else
        Exit(False);
  Text := UTF8Encode(Wide);
  Result := True;
end;

procedure TextsCrossAsWindows1252(const Table: string);
var
  Lines: TextFile;
  Line, Name, Text, Expected, Back: string;
  Tab: Integer;
  Block: Variant;
  Flag: Integer;
  Passed: AnsiString;
begin
  AssignFile(Lines, Table);
  Reset(Lines);
  while not Eof(Lines) do
  begin
    Readln(Lines, Line);
    if (Line = '') or (Line[1] = '#') then
      Continue;
    Tab := Pos(#9, Line);
    Name := Copy(Line, 1, Tab - 1);
    Delete(Line, 1, Tab);
    Tab := Pos(#9, Line);
    Expected := Copy(Line, Tab + 1, MaxInt);
    if not Unescaped(StringReplace(Copy(Line, 1, Tab - 1), '\0', #0, [rfReplaceAll]), Text) then
      Continue;
    if Pos('refused ', Expected) = 1 then
    begin
      try
        Params_VerificaSerialImp_Zep00000(True, Text, '', '');
        Expect(False, Name + ' is refused');
      except
        on E: EZepError do
          Expect((Pos('DSDIRCAD holds ' + Copy(Expected, 9, MaxInt), E.Message) = 1),
            Name + ' is refused naming DSDIRCAD and the character: ' + E.Message);
      end;
      Continue;
    end;
    Block := Params_VerificaSerialImp_Zep00000(True, Text, '', '');
    Expect(VarType(Block[1][1]) = varString, Name + ' comes back a varString');
    Expect(Hex(RawByteString(TVarData(Block[1][1]).VString)) = Expected,
      Name + ' arrives as ' + Hex(RawByteString(TVarData(Block[1][1]).VString)));
    Back := Block[1][1];
    Expect(Back = Text, Name + ' comes back as ' + Back);
  end;
  CloseFile(Lines);
  Passed := 'S';
  Flag := 4;
  Block := Params_AbreCupom_Zep00000('PADRAO', Flag, Passed, Passed, Passed, Passed, Passed, 'F',
    '', '', 'CPF', '1', '12', 'N', False);
  Expect((Flag = 4) and (Passed = 'S'), 'by-reference arguments are left as they were');
  try
    Params_VerificaSerialImp_Zep00000(Boolean(2), '', '', '');
    Expect(False, 'a Boolean holding 2 is refused');
  except
    on E: EArgumentException do
      Expect(Pos('UTILIZAIMPFIS holds 2', E.Message) = 1, 'the refusal says ' + E.Message);
  end;
  try
    ZepSetCodePage(CP_UTF8);
    Expect(False, 'a second code page is refused');
  except
    on EZepError do;
  end;
end;

procedure AnEmptyBindIsVisible;
begin
  InstanciaFuncoes_ImpFiscal(35);
  Expect(ZepBound('ImpFiscal') = '', 'code 35 binds nothing');
  try
    ZepBindPackage('ImpFiscal', '35');
    Expect(False, 'ZepBindPackage refuses code 35');
  except
    on E: EZepError do
      Expect(Pos('selects no package', E.Message) > 0, 'the refusal says ' + E.Message);
  end;
  Expect(ZepBindPackage('impfiscal', '21') = 'ZEP00102', 'code 21 binds ZEP00102');
  Expect(StartImpFiscal <> nil, 'ZepBindPackage fills the slots');
  Expect(ZepBound('ImpFiscal') = 'ZEP00102', 'the set is bound to ZEP00102');
  FinalizaFuncoes_ImpFiscal(21);
end;

procedure VersionIsTheLibrarys;
begin
  Expect(ZepVersion = AnsiString(ParamStr(1)), 'the version is ' + ZepVersion);
  Expect(ZepUnitVersion = ParamStr(1), 'the unit''s version is ' + ZepUnitVersion);
end;

procedure OperatorMessagesReachTheHandler;
var
  Recorder: TRecorder;
begin
  Recorder := TRecorder.Create;
  OnMensagem := Recorder.Take;
  Expect(InstanciaFuncoes_ImpCheque(1), 'the cheque printer bind tells the operator and returns True');
  Expect(Recorder.Calls = 1, 'one message');
  Expect(Pos(#13'Erro na carga do pacote: ZEP00700||N|N|3||001|0|nil', Recorder.Seen) > 0,
    'the message is ' + Recorder.Seen);
  Recorder.Refuse := True;
  try
    InstanciaFuncoes_ImpCheque(1);
    Expect(False, 'the handler''s exception reaches the host');
  except
    on EAbort do;
  end;
  OnMensagem := nil;
  InstanciaFuncoes_ImpCheque(1);
  Expect(Recorder.Calls = 2, 'without a handler messages go to standard error');
  Recorder.Free;
end;

procedure ATraceWritesDownTheCallsThroughTheSlots;
var
  Directory, Trace: string;
  Events: TStringList;
begin
  { Mode 0700: the tracer refuses a directory others may write. }
  Directory := GetTempDir + 'zep-trace-' + IntToStr(GetProcessID);
  Expect(fpMkdir(Directory, &700) = 0, 'a private directory ' + Directory);
  Trace := Directory + '/calls.json';
  ZepStartTrace(Trace);
  InstanciaFuncoes_Sat;
  Expect(Answer(EmitirVenda) = 'answering/zep03000:EmitirVenda',
    'a traced call answers ' + Answer(EmitirVenda));
  FinalizaFuncoes_Sat;
  ZepStopTrace;
  Events := TStringList.Create;
  Events.LoadFromFile(Trace);
  { The module's binary trace, which zep-host trace reads: its mark, and
    the traced entry's name. }
  Expect((Copy(Events.Text, 1, 8) = 'ZEPTRACE') and (Pos('EmitirVenda', Events.Text) > 0),
    'the trace holds the traced entry');
  Events.Free;
  DeleteFile(Trace);
  RemoveDir(Directory);
  try
    ZepStartTrace(Trace);
    Expect(False, 'a trace into a missing directory raises');
  except
    on E: EZepError do
      Expect(E.Message <> '', 'the refusal says why');
  end;
  try
    ZepStartTrace(Trace + #0'.old');
    Expect(False, 'a file name holding a NUL is refused');
  except
    on E: EZepError do
      Expect(Pos('FileName holds U+0000', E.Message) = 1, 'the refusal is ' + E.Message);
  end;
end;

begin
  { As a Lazarus program: its strings are UTF-8. }
  SetMultiByteConversionCodePage(CP_UTF8);
  SlotsFollowBindAndUnbind;
  MissingPackageRaisesTheBindingFailure;
  SelectionsNameThePackage;
  BlocksAreVariantArraysOfTaggedPairs;
  TextsCrossAsWindows1252(ParamStr(2));
  AnEmptyBindIsVisible;
  VersionIsTheLibrarys;
  OperatorMessagesReachTheHandler;
  ATraceWritesDownTheCallsThroughTheSlots;
  if Failures > 0 then
    Halt(1);
  Writeln('all passed');
end.
