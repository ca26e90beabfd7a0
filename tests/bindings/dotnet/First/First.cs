// SPDX-License-Identifier: MIT
/// <summary>A library's own use of the package: the board's product.</summary>
public static class First
{
    /// <summary>The board's product.</summary>
    public static string? Product() => Quoril.Hardware.BoardProduct();
}
