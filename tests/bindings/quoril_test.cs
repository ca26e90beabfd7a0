// Asks Quoril.Hardware every call that answers.tsv lists for one tree and compares the answers:
//   mono quoril_test.exe ANSWERS TREE   (with QUORIL_SYSFS_ROOT pointing at the tree)
using System;
using System.Collections.Generic;
using System.IO;
using System.Text;
using Quoril;

static class QuorilTest
{
    static string Show(string text) => text ?? "~";

    static string Show(IReadOnlyList<string> list) => list == null ? "~" : "[" + string.Join("|", list) + "]";

    static string Answer(string call, string argument)
    {
        switch (call) {
        case "BoardProduct": return Show(Hardware.BoardProduct());
        case "BoardProductAndManufacturer":
            var board = Hardware.BoardProductAndManufacturer();
            return "(" + Show(board.Product) + "|" + Show(board.Manufacturer) + ")";
        case "OpticalDriveCaptions": return Show(Hardware.OpticalDriveCaptions());
        case "DriveCaption": return Show(Hardware.DriveCaption(argument));
        case "CpuBrandContains": return Hardware.CpuBrandContains(argument) ? "true" : "false";
        case "DisplayAdapterSubsystemVendor":
            return Show(Hardware.DisplayAdapterSubsystemVendor(int.Parse(argument)));
        case "DisplayAdapterSubsystemVendors": return Show(Hardware.DisplayAdapterSubsystemVendors());
        case "HasBluRayDrive": return Hardware.HasBluRayDrive() ? "true" : "false";
        default: throw new InvalidDataException("unknown call " + call);
        }
    }

    static int Main(string[] args)
    {
        Console.OutputEncoding = new UTF8Encoding(false);
        int checkedCount = 0, failed = 0;
        foreach (string line in File.ReadAllLines(args[0], Encoding.UTF8)) {
            string[] field = line.Split('\t');
            if (field[0] != args[1]) continue;
            string argument = field[2].Replace("\\0", "\0"), answer;
            try {
                answer = Answer(field[1], argument);
            } catch (ArgumentException) {
                answer = "!";
            }
            ++checkedCount;
            if (answer != field[3]) {
                ++failed;
                Console.WriteLine("FAILED {0}({1}) on {2}: {3}, expected {4}", field[1], field[2], args[1],
                                  answer, field[3]);
            }
        }
        // The raw declarations the layer above does not use must bind as well.
        Native.Test();
        var narrow = new byte[512];
        Native.fnGetBaseBoardPorductA(narrow);
        string product = Encoding.UTF8.GetString(narrow, 0, Array.IndexOf(narrow, (byte)0));
        if (product != (Hardware.BoardProduct() ?? "")) {
            ++failed;
            Console.WriteLine("FAILED fnGetBaseBoardPorductA on {0}: {1}", args[1], product);
        }
        Console.WriteLine("C# on {0}: {1} answers checked, {2} failed", args[1], checkedCount + 1, failed);
        return failed == 0 && checkedCount > 0 ? 0 : 1;
    }
}
