// SPDX-License-Identifier: MIT
using System;

static class Program
{
    [STAThread]
    static void Main()
    {
        Quoril.Board board = Quoril.Hardware.BoardProductAndManufacturer();
        Console.WriteLine($"{board.Product ?? "~"} by {board.Manufacturer ?? "~"}");
    }
}
