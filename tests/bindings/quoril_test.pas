// SPDX-License-Identifier: MIT
{ Asks the Quoril unit every call that answers.tsv lists for one tree and compares the answers:
    quoril_test ANSWERS TREE   (with QUORIL_SYSFS_ROOT pointing at the tree) }
program quoril_test;

{$mode delphi}

uses
  Classes, SysUtils, Quoril;

function Show(const Text: UnicodeString): UnicodeString; overload;
begin
  if Text = '' then Result := '~' else Result := Text;
end;

function Show(const List: TQuorilStrings): UnicodeString; overload;
var
  Item: UnicodeString;
begin
  Result := '';
  for Item in List do Result := Result + '|' + Item;
  Result := '[' + Copy(Result, 2, MaxInt) + ']';
end;

const
  Shown: array[Boolean] of UnicodeString = ('false', 'true');

function Answer(const Call: string; const Argument: UnicodeString): UnicodeString;
begin
  if Call = 'BoardProduct' then
    Result := Show(BoardProduct)
  else if Call = 'BoardProductAndManufacturer' then
    with BoardProductAndManufacturer do
      Result := '(' + Show(Product) + '|' + Show(Manufacturer) + ')'
  else if Call = 'OpticalDriveCaptions' then
    Result := Show(OpticalDriveCaptions)
  else if Call = 'DriveCaption' then
    Result := Show(DriveCaption(Argument))
  else if Call = 'CpuBrandContains' then
    Result := Shown[CpuBrandContains(Argument)]
  else if Call = 'DisplayAdapterSubsystemVendor' then
    Result := Show(DisplayAdapterSubsystemVendor(StrToInt(UTF8Encode(Argument))))
  else if Call = 'DisplayAdapterSubsystemVendors' then
    Result := Show(DisplayAdapterSubsystemVendors)
  else if Call = 'HasBluRayDrive' then
    Result := Shown[HasBluRayDrive]
  else
    raise Exception.Create('unknown call ' + Call);
end;

var
  Table, Field: TStringList;
  Line, Checked, Failed: Integer;
  Got: UnicodeString;
begin
  Table := TStringList.Create;
  Field := TStringList.Create;
  Field.Delimiter := #9;
  Field.StrictDelimiter := True;
  Table.LoadFromFile(ParamStr(1));
  Checked := 0;
  Failed := 0;
  for Line := 0 to Table.Count - 1 do
  begin
    Field.DelimitedText := Table[Line];
    if Field[0] <> ParamStr(2) then
      Continue;
    try
      Got := Answer(Field[1], UTF8Decode(StringReplace(Field[2], '\0', #0, [rfReplaceAll])));
    except
      on EArgumentException do
        Got := '!';
    end;
    Inc(Checked);
    if Got <> UTF8Decode(Field[3]) then
    begin
      Inc(Failed);
      WriteLn('FAILED ', Field[1], '(', Field[2], ') on ', ParamStr(2), ': ', UTF8Encode(Got),
              ', expected ', Field[3]);
    end;
  end;
  WriteLn('Pascal on ', ParamStr(2), ': ', Checked, ' answers checked, ', Failed, ' failed');
  if (Failed > 0) or (Checked = 0) then
    Halt(1);
end.
