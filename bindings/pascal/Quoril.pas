// SPDX-License-Identifier: MIT
{ Quoril for Delphi and Free Pascal: the library's nine exports as quoril.h declares them, and a
  small layer over them that answers in UnicodeString, Boolean and dynamic arrays.

  It needs Delphi 2010 or later (UnicodeString, Int32 and delayed imports) or Free Pascal 3.2 or
  later, in its delphi, delphiunicode or objfpc mode (delphi when the program chose none). Beside
  it goes QuorilSizes.inc, the buffer sizes the build writes from quoril.h. From Delphi XE2 on it
  names the runtime's units with their scopes, so dcc32 and dcc64 need no namespace option.

  The library is quoril.dll on Windows (the 32-bit or the 64-bit one, as the program is). Delphi
  binds each export on its first call (delayed), so a program without the DLL still starts:
  QuorilAvailable tells whether it can be loaded, before any other call. With Free Pascal the
  program links the library by name (on Linux libquoril.so with -Fl<folder>, and runs with
  libquoril.so.1, the name the library gives itself) and does not start without it. An empty
  string stands for no answer. Every call asks the library afresh, one export call for each
  (DisplayAdapterSubsystemVendors walks the adapters with one call per index).

  On Windows, BoardProduct, BoardProductAndManufacturer and OpticalDriveCaptions answer nothing
  on a thread that is already in COM's multithreaded apartment: the library refuses those
  questions there. Call them from a thread that has not joined it (a VCL program's main thread
  and a new TThread have not). }
unit Quoril;

{$IFDEF FPC}
  {$IF NOT (DEFINED(FPC_DELPHI) OR DEFINED(FPC_DELPHIUNICODE) OR DEFINED(FPC_OBJFPC))}
    {$mode delphi}
  {$IFEND}
{$ELSE}
  {$IFDEF MSWINDOWS}
    {$DEFINE QUORIL_DELAYED}
  {$ENDIF}
  {$IF CompilerVersion >= 23.0}
    {$DEFINE QUORIL_SCOPED_UNITS}
  {$IFEND}
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
  { The buffer sizes the exports take, as quoril.h gives them. }
{$I QuorilSizes.inc}

{ The exports: the caller-cleans-stack convention, 16-bit wide text, caller-owned buffers, 1 or
  0. quoril.h gives each one's contract. }
procedure Test; cdecl; external QuorilLibrary name 'Test'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnVoIsCPU(Text: PAnsiChar): Int32; cdecl; external QuorilLibrary name 'fnVoIsCPU'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnGetPID(Product: PWideChar): Int32; cdecl; external QuorilLibrary name 'fnGetPID'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnGetWMIInfo(Product: PWideChar; Manufacturer: PWideChar): Int32; cdecl;
  external QuorilLibrary name 'fnGetWMIInfo'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnGetBaseBoardPorductA(Product: PAnsiChar): Int32; cdecl;
  external QuorilLibrary name 'fnGetBaseBoardPorductA'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnListDriverCaption(Buffer: PWideChar; Capacity: Int32): Int32; cdecl;
  external QuorilLibrary name 'fnListDriverCaption'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnGetDriveCaptionW(Drive: PWideChar; Caption: PWideChar; Count: Int32): Int32; cdecl;
  external QuorilLibrary name 'fnGetDriveCaptionW'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function hasBDOdd: Int32; cdecl; external QuorilLibrary name 'hasBDOdd'
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};
function fnGetSVID(Index: Int32; Vendor: PAnsiChar): Int32; cdecl;
  external QuorilLibrary name fnGetSVIDName
  {$IFDEF QUORIL_DELAYED}delayed{$ENDIF};

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
{ Whether the library can be loaded (on Windows it is loaded and let go again). }
function QuorilAvailable: Boolean;

implementation

uses
  {$IFDEF QUORIL_SCOPED_UNITS}System.SysUtils{$ELSE}SysUtils{$ENDIF}
  {$IFDEF MSWINDOWS}, {$IFDEF QUORIL_SCOPED_UNITS}Winapi.Windows{$ELSE}Windows{$ENDIF}{$ENDIF};

type
  { Buffers as dynamic arrays, which SetLength fills with zeros. }
  TWideBuffer = array of WideChar;
  TNarrowBuffer = array of AnsiChar;

function WideBuffer(Units: Integer): TWideBuffer;
begin
  Result := nil;
  SetLength(Result, Units);
end;

{ The library takes zero-terminated text: a text holding a zero would be cut short there and
  answer for another text. }
procedure RefuseNul(const Text: UnicodeString);
begin
  if Pos(WideChar(#0), Text) > 0 then
    raise EArgumentException.Create('text holds a zero character');
end;

function BoardProduct: UnicodeString;
var
  Product: TWideBuffer;
begin
  Product := WideBuffer(QUORIL_BOARD_TEXT_UNITS);
  if fnGetPID(@Product[0]) = 1 then
    Result := PWideChar(@Product[0])
  else
    Result := '';
end;

function BoardProductAndManufacturer: TQuorilBoard;
var
  Product, Manufacturer: TWideBuffer;
begin
  Product := WideBuffer(QUORIL_BOARD_TEXT_UNITS);
  Manufacturer := WideBuffer(QUORIL_BOARD_TEXT_UNITS);
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
  Buffer: TWideBuffer;
  Start, Unit_: Integer;
begin
  Result := nil;
  { Room for the whole list: the library's minimum size could leave the tenth caption out. }
  Buffer := WideBuffer(QUORIL_CAPTION_LIST_WHOLE_UNITS);
  if fnListDriverCaption(@Buffer[0], Length(Buffer)) <> 1 then
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
  Caption: TWideBuffer;
begin
  RefuseNul(Drive);
  Caption := WideBuffer(QUORIL_CAPTION_UNITS);
  if fnGetDriveCaptionW(PWideChar(Drive), @Caption[0], Length(Caption)) = 1 then
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
  Narrow: TNarrowBuffer;
  I: Integer;
begin
  Narrow := nil;
  SetLength(Narrow, QUORIL_VENDOR_BYTES);
  Vendor := '';
  Result := fnGetSVID(Index, @Narrow[0]) = 1;
  I := 0;
  while Result and (I < QUORIL_VENDOR_BYTES) and (Narrow[I] <> #0) do
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

function QuorilAvailable: Boolean;
{$IFDEF MSWINDOWS}
var
  Handle: HMODULE;
begin
  Handle := LoadLibrary(QuorilLibrary);
  Result := Handle <> 0;
  if Result then
    FreeLibrary(Handle);
end;
{$ELSE}
begin
  { The program is linked to the library: it would not have started without it. }
  Result := True;
end;
{$ENDIF}

end.
