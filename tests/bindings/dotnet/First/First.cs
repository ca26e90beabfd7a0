// SPDX-License-Identifier: MIT
/// <summary>A library's own use of the package.</summary>
public static class First
{
    /// <summary>The board's product, through the package.</summary>
    public static string? Product() => Quoril.Hardware.BoardProduct();
}
