// SPDX-License-Identifier: MIT
/// <summary>Another library's use of the package, passing its type on.</summary>
public static class Second
{
    /// <summary>The board.</summary>
    public static Quoril.Board Board() => Quoril.Hardware.BoardProductAndManufacturer();
}
