{ A Pascal host of the peripheral-binding module, through the unit Zep00001
  (Free Pascal, Lazarus or Delphi): binds the fiscal printer and calls an
  entry through its slot, builds a parameter block and prints it, shows an
  operator message in its own handler, and handles a package that will not
  load.

    fpc -Fu<prefix>/share/zep00001/pascal -Fl<prefix>/lib/<triplet> -FU<units folder> example.lpr
    LD_LIBRARY_PATH=<prefix>/lib/<triplet> ZEP_PACKAGE_PATH=<packages> ./example

  The packages are the module's test packages, whose entries take nothing
  and answer with their own name; this till has no cheque printer. }
program example;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}
{$APPTYPE CONSOLE}

uses
  SysUtils, Variants, Zep00001;

type
  { The test packages' entries, as C functions. }
  TAnswer = function: PAnsiChar; cdecl;

  TTill = class
    procedure ShowMessage(const Text, Text2, Text3, Text4: AnsiString; Kind: Integer;
      const Text5, Text6: AnsiString; Number: Integer; DataSet: Pointer);
  end;

procedure TTill.ShowMessage(const Text, Text2, Text3, Text4: AnsiString; Kind: Integer;
  const Text5, Text6: AnsiString; Number: Integer; DataSet: Pointer);
begin
  { A carriage return separates the lines of an operator message. }
  Writeln('The operator is told (kind ', Kind, '):');
  Writeln(StringReplace(string(Text), #13, sLineBreak, [rfReplaceAll]));
end;

var
  Till: TTill;
  Block: Variant;
  I: Integer;
begin
  Till := TTill.Create;
  OnMensagem := Till.ShowMessage;

  InstanciaFuncoes_ImpFiscal(21);
  Writeln('StartImpFiscal answers ', TAnswer(StartImpFiscal)());
  FinalizaFuncoes_ImpFiscal(21);

  Block := Params_VendaItem_Zep00000('PADRAO', '12', 'N', '7891000100103', 'CAFE 500G', 'T1',
    '01', 'UN', 'F', '18.00', 'N', 7, 2, 9.9, 0, 0, False);
  for I := VarArrayLowBound(Block, 1) to VarArrayHighBound(Block, 1) do
    Writeln('  ', Format('%-14s ', [string(Block[I][0])]), VarToStr(Block[I][1]));

  { Without its package the cheque printer tells the operator, and its bind
    goes on with its slots nil. }
  InstanciaFuncoes_ImpCheque(1);
  if StartImpCheque = nil then
    Writeln('No cheque printer.');

  try
    InstanciaFuncoes_Balanca('1'); { selects "X", which no tree bundles }
  except
    on Failure: EBindingFailure do
      Writeln('scale model 1 does not bind: ', Failure.Message, sLineBreak, Failure.Causes);
  end;
  Till.Free;
end.
