// SPDX-License-Identifier: MIT
{ Quoril for Delphi and Free Pascal: the library's nine exports as quoril.h declares them, and a
  small layer over them that answers in UnicodeString, Boolean and dynamic arrays.

  The library is quoril.dll on Windows (the 32-bit or the 64-bit one, as the program is), linked
  by name; with Free Pascal on Linux the program links libquoril.so (-Fl<folder>) and then loads
  libquoril.so.1, the name the library gives itself. An empty string stands for no answer.
  Every call asks the library afresh, one export call for each (DisplayAdapterSubsystemVendors
  walks the adapters with one call per index).

  On Windows, BoardProduct, BoardProductAndManufacturer and OpticalDriveCaptions answer nothing
  on a thread that is already in COM's multithreaded apartment: the library refuses those
  questions there. Call them from a thread that has not joined it (a VCL program's main thread
  and a new TThread have not). }
unit Quoril;

{$IFDEF FPC}
  {$mode delphi}
{$ENDIF}

interface

const
{$IFDEF MSWINDOWS}
  QuorilLibrary = 'quoril.dll';
  { MSVC's decoration of fnGetSVID, which differs between the 32-bit and the 64-bit DLL. }
  {$IFDEF WIN64}
  fnGetSVIDName = '?fnGetSVID@@YAHJQEAD@Z';
  {$ELSE}
  fnGetSVIDName = '?fnGetSVID@@YAHJQAD@Z';
  {$ENDIF}
{$ELSE}
  QuorilLibrary = 'quoril';
  fnGetSVIDName = 'fnGetSVID';
{$ENDIF}

{ The exports: the caller-cleans-stack convention, 16-bit wide text, caller-owned buffers, 1 or
  0. quoril.h gives each one's contract. }
procedure Test; cdecl; external QuorilLibrary name 'Test';
function fnVoIsCPU(Text: PAnsiChar): Int32; cdecl; external QuorilLibrary name 'fnVoIsCPU';
function fnGetPID(Product: PWideChar): Int32; cdecl; external QuorilLibrary name 'fnGetPID';
function fnGetWMIInfo(Product: PWideChar; Manufacturer: PWideChar): Int32; cdecl;
  external QuorilLibrary name 'fnGetWMIInfo';
function fnGetBaseBoardPorductA(Product: PAnsiChar): Int32; cdecl;
  external QuorilLibrary name 'fnGetBaseBoardPorductA';
function fnListDriverCaption(Buffer: PWideChar; Capacity: Int32): Int32; cdecl;
  external QuorilLibrary name 'fnListDriverCaption';
function fnGetDriveCaptionW(Drive: PWideChar; Caption: PWideChar; Count: Int32): Int32; cdecl;
  external QuorilLibrary name 'fnGetDriveCaptionW';
function hasBDOdd: Int32; cdecl; external QuorilLibrary name 'hasBDOdd';
function fnGetSVID(Index: Int32; Vendor: PAnsiChar): Int32; cdecl;
  external QuorilLibrary name fnGetSVIDName;

type
  TQuorilStrings = array of UnicodeString;
  TQuorilBoard = record
    Product: UnicodeString;
    Manufacturer: UnicodeString;
  end;

{ The system board's product; empty when there is none or the query failed. }
function BoardProduct: UnicodeString;
{ The board's product and maker, each empty when there is none. }
function BoardProductAndManufacturer: TQuorilBoard;
{ The optical drives' captions in listing order (at most ten); empty when there is no drive or
  they could not be listed. }
function OpticalDriveCaptions: TQuorilStrings;
{ The caption of the first optical drive whose name ('D:') occurs in Drive, letter case aside. }
function DriveCaption(const Drive: UnicodeString): UnicodeString;
{ Whether the processor's brand string contains Text (as UTF-8, case-sensitive). }
function CpuBrandContains(const Text: UnicodeString): Boolean;
{ The PCI subsystem vendor of display adapter Index (four characters); empty past the last
  adapter, and for an adapter whose identifier has none. }
function DisplayAdapterSubsystemVendor(Index: Integer): UnicodeString;
{ The subsystem vendor of every display adapter, in the library's order. }
function DisplayAdapterSubsystemVendors: TQuorilStrings;
{ Whether some optical drive reads Blu-ray media. Blocks while each drive answers. }
function HasBluRayDrive: Boolean;

implementation

uses
  SysUtils;

const
  { A board value: at most 255 units and the terminator. }
  BoardUnits = 256;
  { The whole caption list: ten captions of at most 255 units, each with CR LF, then the
    terminator (the library's minimum of 2560 units could leave the tenth out). }
  CaptionListUnits = 10 * (255 + 2) + 1;
  CaptionUnits = 256;
  VendorBytes = 5;

type
  TBoardBuffer = array[0..BoardUnits - 1] of WideChar;

{ The library takes zero-terminated text: a text holding a zero would be cut short there and
  answer for another text. }
procedure RefuseNul(const Text: UnicodeString);
begin
  if Pos(WideChar(#0), Text) > 0 then
    raise EArgumentException.Create('text holds a zero character');
end;

function BoardProduct: UnicodeString;
var
  Product: TBoardBuffer;
begin
  FillChar(Product, SizeOf(Product), 0);
  if fnGetPID(@Product[0]) = 1 then
    Result := PWideChar(@Product[0])
  else
    Result := '';
end;

function BoardProductAndManufacturer: TQuorilBoard;
var
  Product, Manufacturer: TBoardBuffer;
begin
  FillChar(Product, SizeOf(Product), 0);
  FillChar(Manufacturer, SizeOf(Manufacturer), 0);
  if fnGetWMIInfo(@Product[0], @Manufacturer[0]) = 1 then
  begin
    Result.Product := PWideChar(@Product[0]);
    Result.Manufacturer := PWideChar(@Manufacturer[0]);
  end
  else
  begin
    Result.Product := '';
    Result.Manufacturer := '';
  end;
end;

function OpticalDriveCaptions: TQuorilStrings;
var
  Buffer: array[0..CaptionListUnits - 1] of WideChar;
  Start, Unit_: Integer;
begin
  Result := nil;
  FillChar(Buffer, SizeOf(Buffer), 0);
  if fnListDriverCaption(@Buffer[0], CaptionListUnits) <> 1 then
    Exit;
  { Every caption is followed by CR LF. }
  Start := 0;
  Unit_ := 0;
  while Buffer[Unit_] <> #0 do
  begin
    if (Buffer[Unit_] = #13) and (Buffer[Unit_ + 1] = #10) then
    begin
      SetLength(Result, Length(Result) + 1);
      SetString(Result[High(Result)], PWideChar(@Buffer[Start]), Unit_ - Start);
      Inc(Unit_, 2);
      Start := Unit_;
    end
    else
      Inc(Unit_);
  end;
end;

function DriveCaption(const Drive: UnicodeString): UnicodeString;
var
  Caption: array[0..CaptionUnits - 1] of WideChar;
begin
  RefuseNul(Drive);
  FillChar(Caption, SizeOf(Caption), 0);
  if fnGetDriveCaptionW(PWideChar(Drive), @Caption[0], CaptionUnits) = 1 then
    Result := PWideChar(@Caption[0])
  else
    Result := '';
end;

function CpuBrandContains(const Text: UnicodeString): Boolean;
var
  Narrow: UTF8String;
begin
  RefuseNul(Text);
  Narrow := UTF8Encode(Text);
  Result := fnVoIsCPU(PAnsiChar(Narrow)) = 1;
end;

{ The vendor of adapter Index, False past the last adapter. }
function TryVendor(Index: Integer; out Vendor: UnicodeString): Boolean;
var
  Narrow: array[0..VendorBytes - 1] of AnsiChar;
  I: Integer;
begin
  FillChar(Narrow, SizeOf(Narrow), 0);
  Vendor := '';
  Result := fnGetSVID(Index, @Narrow[0]) = 1;
  I := 0;
  while Result and (I < VendorBytes) and (Narrow[I] <> #0) do
  begin
    Vendor := Vendor + WideChar(Ord(Narrow[I]));
    Inc(I);
  end;
end;

function DisplayAdapterSubsystemVendor(Index: Integer): UnicodeString;
begin
  TryVendor(Index, Result);
end;

function DisplayAdapterSubsystemVendors: TQuorilStrings;
var
  Index: Integer;
  Vendor: UnicodeString;
begin
  Result := nil;
  Index := 0;
  while TryVendor(Index, Vendor) do
  begin
    SetLength(Result, Length(Result) + 1);
    Result[High(Result)] := Vendor;
    if Index = High(Integer) then
      Break;
    Inc(Index);
  end;
end;

function HasBluRayDrive: Boolean;
begin
  Result := hasBDOdd = 1;
end;

end.
