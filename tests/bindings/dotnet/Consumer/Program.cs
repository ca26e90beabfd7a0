// SPDX-License-Identifier: MIT
// Asks Quoril.Hardware every call that answers.tsv lists for one tree and compares the answers:
//   dotnet run -- ANSWERS TREE   (with QUORIL_SYSFS_ROOT pointing at the tree)
// It uses the package as two libraries of its own do (First, Second), so that their sharing it
// is checked too.
using System;
using System.Collections.Generic;
using System.IO;
using System.Text;
using Quoril;

static class Program
{
    static string Show(string? text) => text ?? "~";
    static string Show(bool answer) => answer ? "true" : "false";
    static string Show(IReadOnlyList<string>? list) => list == null ? "~" : "[" + string.Join("|", list) + "]";

    static string Answer(string call, string argument)
    {
        switch (call) {
        case "BoardProduct": return Show(Hardware.BoardProduct());
        case "BoardProductAndManufacturer":
            var (product, manufacturer) = Hardware.BoardProductAndManufacturer();
            return "(" + Show(product) + "|" + Show(manufacturer) + ")";
        case "OpticalDriveCaptions": return Show(Hardware.OpticalDriveCaptions());
        case "DriveCaption": return Show(Hardware.DriveCaption(argument));
        case "CpuBrandContains": return Show(Hardware.CpuBrandContains(argument));
        case "DisplayAdapterSubsystemVendor":
            return Show(Hardware.DisplayAdapterSubsystemVendor(int.Parse(argument)));
        case "DisplayAdapterSubsystemVendors": return Show(Hardware.DisplayAdapterSubsystemVendors());
        case "HasBluRayDrive": return Show(Hardware.HasBluRayDrive());
        default: throw new InvalidDataException("unknown call " + call);
        }
    }

    static int Main(string[] args)
    {
        int checkedCount = 0, failed = 0;
        // The rest of the API: the raw exports the table does not reach, and the board's type as
        // the two libraries pass it on.
        Native.Test();
        Board board = Hardware.BoardProductAndManufacturer();
        // The narrow product's export always answers 0 (success shows in the buffer alone).
        if (Native.fnGetBaseBoardPorductA(new byte[512]) != 0 || First.Product() != board.Product
            || Second.Board().Manufacturer != board.Manufacturer) {
            ++failed;
            Console.WriteLine($"FAILED: the narrow product, First or Second disagree on {args[1]}");
        }
        foreach (string line in File.ReadAllLines(args[0], Encoding.UTF8)) {
            string[] field = line.Split('\t');
            if (field[0] != args[1]) continue;
            string answer;
            try {
                answer = Answer(field[1], field[2].Replace("\\0", "\0"));
            } catch (ArgumentException) {
                answer = "!";
            }
            ++checkedCount;
            if (answer != field[3]) {
                ++failed;
                Console.WriteLine($"FAILED {field[1]}({field[2]}) on {args[1]}: {answer}, "
                                  + $"expected {field[3]}");
            }
        }
        Console.WriteLine($"C# on {args[1]}: {checkedCount} answers checked, {failed} failed");
        return failed == 0 && checkedCount > 0 ? 0 : 1;
    }
}
