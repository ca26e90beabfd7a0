// SPDX-License-Identifier: MIT
static class Program
{
    [System.STAThread]
    static void Main() => System.Console.WriteLine(Quoril.Hardware.BoardProduct() ?? "~");
}
