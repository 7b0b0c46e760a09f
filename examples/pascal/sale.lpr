{ The README's sale from Pascal: binds every slot set to the simulated
  devices, opens the coupon, sells two items (the second weighed on the
  scale), prints the sale, closes the coupon and unbinds every set; then
  shows the receipt as zep-host demo does. The fiscal printer takes the
  blocks the C interface builds (NewBlock_...), freed with ZepFreeBlock once
  the entry has returned.

    fpc -Fu<prefix>/share/zep00001/pascal -Fl<prefix>/lib/<triplet> sale.lpr
    LD_LIBRARY_PATH=<prefix>/lib/<triplet> ZEP_PACKAGE_PATH=<prefix>/lib/<triplet>/zep00001/simulated ./sale }
program sale;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}
{$APPTYPE CONSOLE}

uses
  SysUtils, Classes, Zep00001;

type
  { The simulated devices' entries, as their headers in drivers/simulated/
    give them. }
  TPaper = procedure(Context: Pointer; Line: PAnsiChar); cdecl;
  TStartImpFiscal = function(Paper: TPaper; Context: Pointer): Integer; cdecl;
  TBlockEntry = function(Block: Pointer): Integer; cdecl;
  TImpressaoVenda = function(Block: Pointer; var Total: Double): Integer; cdecl;
  TFechaCupom = function(Method: PAnsiChar; Paid: Double): Integer; cdecl;
  TCommand = function: Integer; cdecl;
  TReason = function: PAnsiChar; cdecl;
  TStartBalanca = function(Port: PAnsiChar): Integer; cdecl;
  TBuscaPeso = function(var Kilograms: Double): Integer; cdecl;

const
  Ok = 0;
  Unstable = 2;
  { Every set, with the first model code whose simulated package is bundled. }
  SetNames: array[0..9] of AnsiString = ('ImpFiscal', 'ImpCheque', 'Display', 'Balanca',
    'Leitor', 'Zep00000', 'Zep00400', 'Zep00500', 'Tef00000', 'Sat');
  SetModels: array[0..9] of AnsiString = ('1', '1', '1', '4', '1', '', '', '', '', '');

var
  Printed: TStringList;

procedure Print(Context: Pointer; Line: PAnsiChar); cdecl;
begin
  Printed.Add(string(Line));
end;

procedure Check(Status: Integer; const Command: string);
begin
  if Status <> Ok then
    raise Exception.CreateFmt('the fiscal printer refused %s: %s',
      [Command, string(TReason(RetornoImpFiscal)())]);
end;

{ Hands the block to the entry, and frees it. }
function Handed(Entry: Pointer; Block: Pointer): Integer;
begin
  try
    Result := TBlockEntry(Entry)(Block);
  finally
    ZepFreeBlock(Block);
  end;
end;

procedure Sell(const Code, Name, UnitName: AnsiString; Quantity, Price: Double);
var
  Interest: Integer;
begin
  Interest := 0;
  Check(Handed(VendaItem, NewBlock_Params_VendaItem_Zep00000('', '', '', Code, Name, 'T18', '01',
    UnitName, '', '18,00', '', Interest, Quantity, Price, 0, 0, False)), 'VendaItem');
end;

procedure RunSale;
var
  TefError, I, Weighed: Integer;
  IncludeCpf, No, Number, Counter: AnsiString;
  Kilograms, Total: Double;
  Block: Pointer;
  Rule: string;
begin
  Check(TStartImpFiscal(StartImpFiscal)(Print, nil), 'StartImpFiscal');
  TefError := 0;
  IncludeCpf := 'S';
  No := 'N';
  Number := '';
  Counter := '';
  Check(Handed(AbreCupom, NewBlock_Params_AbreCupom_Zep00000('', TefError, IncludeCpf, No, No,
    Number, Counter, '', '', '', 'CPF', '529.982.247-25', '', '', False)), 'AbreCupom');
  Sell('7891234567895', 'ARROZ TIPO 1 5KG', 'UN', 1.0, 24.90);

  { The scale settles over a few readings; a host asks until it is stable. }
  if TStartBalanca(StartBalanca)('0.398;0.411;0.412') <> Ok then
    raise Exception.Create('the scale refused StartBalanca');
  Kilograms := 0;
  Weighed := Unstable;
  I := 0;
  while (I < 10) and (Weighed = Unstable) do
  begin
    Weighed := TBuscaPeso(BuscaPeso)(Kilograms);
    Inc(I);
  end;
  if Weighed <> Ok then
    raise Exception.CreateFmt('the scale refused BuscaPeso (status %d)', [Weighed]);
  Sell('2000012', 'QUEIJO MINAS', 'KG', Kilograms, 49.90);

  Total := 0;
  Block := NewBlock_Params_ImpressaoVenda_Zep00000('', '0001', '003', '', '', '42', '',
    'MARIA DA SILVA', 'Volte sempre', 'COM1', 1, 0, 0);
  try
    Check(TImpressaoVenda(ImpressaoVenda)(Block, Total), 'ImpressaoVenda');
  finally
    ZepFreeBlock(Block);
  end;
  Check(TFechaCupom(FechaCupom)('DINHEIRO', 50.0), 'FechaCupom');
  Check(TCommand(StopImpFiscal)(), 'StopImpFiscal');
  TCommand(StopBalanca)();

  Writeln('  receipt, coupon ', TCommand(Nr_Cupom)(), ':');
  Rule := '    +' + StringOfChar('-', 40) + '+';
  Writeln(Rule);
  for I := 0 to Printed.Count - 1 do
    Writeln('    |', Format('%-40s', [Printed[I]]), '|');
  Writeln(Rule);
end;

var
  I: Integer;
begin
  Printed := TStringList.Create;
  for I := Low(SetNames) to High(SetNames) do
    ZepBindPackage(SetNames[I], SetModels[I]);
  RunSale;
  FinalizaFuncoes_ImpFiscal(1);
  FinalizaFuncoes_ImpCheque;
  FinalizaFuncoes_Display('1');
  FinalizaFuncoes_Balanca('4');
  FinalizaFuncoes_Leitor('1');
  FinalizaFuncoes_Zep00000;
  FinalizaFuncoes_Zep00400;
  FinalizaFuncoes_Zep00500;
  FinalizaFuncoes_Tef00000;
  FinalizaFuncoes_Sat;
  Printed.Free;
end.
