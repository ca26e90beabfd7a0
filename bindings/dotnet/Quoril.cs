// SPDX-License-Identifier: MIT
// Quoril for .NET: the library's nine exports as quoril.h declares them (Quoril.Native), and a
// small layer over them that answers in strings, lists and booleans (Quoril.Hardware).
//
// Built by Quoril.csproj into the assembly Quoril.Managed.dll (netstandard2.0 and net462), which
// the NuGet package carries with the native libraries. The buffer sizes are the header's
// QUORIL_*_UNITS and QUORIL_*_BYTES, which the build writes into the class Sizes.
//
// The runtime finds the native library under the name "quoril": quoril.dll on Windows (the
// 32-bit or the 64-bit one, as the process is) and libquoril.so on Linux. .NET resolves it from
// the package's runtimes/<rid>/native folders; .NET Framework has no such resolution, so the
// net462 assembly loads the DLL the package's build targets copied into x86\ or x64\ by its full
// path before the first call (see Native's static constructor).
//
// Nothing is cached: every answer is asked of the library afresh, one export call for each
// (DisplayAdapterSubsystemVendors walks the adapters with one call per index).
using System;
using System.Collections.Generic;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
#if NETFRAMEWORK
using System.IO;
#endif

namespace Quoril
{
    /// <summary>
    /// The exports as the library declares them: the caller-cleans-stack convention, 16-bit wide
    /// text, caller-owned buffers, 1 or 0. quoril.h gives each one's contract and the buffer sizes.
    /// </summary>
    public static class Native
    {
        /// <summary>The name the runtime loads the library by: quoril.dll, libquoril.so.</summary>
        public const string Library = "quoril";

        /// <summary>Does nothing: tells whether the library loads and links.</summary>
        [DllImport(Library, EntryPoint = "Test", CallingConvention = CallingConvention.Cdecl)]
        public static extern void Test();

        /// <summary>1 when the processor's brand string contains the zero-terminated
        /// <paramref name="text"/>, else 0.</summary>
        /// <param name="text">Zero-terminated UTF-8 bytes.</param>
        [DllImport(Library, EntryPoint = "fnVoIsCPU", CallingConvention = CallingConvention.Cdecl)]
        public static extern int fnVoIsCPU([In] byte[] text);

        /// <summary>The board's product into <paramref name="product"/>; 1 on success.</summary>
        /// <param name="product">At least QUORIL_BOARD_TEXT_UNITS (256) units.</param>
        [DllImport(Library, EntryPoint = "fnGetPID", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Unicode)]
        public static extern int fnGetPID([In, Out] char[] product);

        /// <summary>The board's product and maker; 1 on success.</summary>
        /// <param name="product">At least QUORIL_BOARD_TEXT_UNITS (256) units.</param>
        /// <param name="manufacturer">At least QUORIL_BOARD_TEXT_UNITS (256) units.</param>
        [DllImport(Library, EntryPoint = "fnGetWMIInfo",
                   CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        public static extern int fnGetWMIInfo([In, Out] char[] product,
                                              [In, Out] char[] manufacturer);

        /// <summary>The board's product as narrow text; 1 on success.</summary>
        /// <param name="product">At least QUORIL_BOARD_PRODUCT_A_BYTES (512) bytes.</param>
        [DllImport(Library, EntryPoint = "fnGetBaseBoardPorductA",
                   CallingConvention = CallingConvention.Cdecl)]
        public static extern int fnGetBaseBoardPorductA([In, Out] byte[] product);

        /// <summary>The optical drives' captions, each followed by "\r\n"; 1 on success.</summary>
        /// <param name="buffer">The list's buffer.</param>
        /// <param name="capacity">Its length in units: at least QUORIL_CAPTION_LIST_UNITS
        /// (2560); QUORIL_CAPTION_LIST_WHOLE_UNITS (2571) holds any list whole.</param>
        [DllImport(Library, EntryPoint = "fnListDriverCaption",
                   CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        public static extern int fnListDriverCaption([In, Out] char[] buffer, int capacity);

        /// <summary>The caption of the optical drive named in <paramref name="drive"/>; 1 when
        /// there is one.</summary>
        /// <param name="drive">A text holding a drive's name ("D:").</param>
        /// <param name="caption">The caption's buffer.</param>
        /// <param name="count">Its length in units, at least QUORIL_CAPTION_UNITS (256).</param>
        [DllImport(Library, EntryPoint = "fnGetDriveCaptionW",
                   CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        public static extern int fnGetDriveCaptionW([MarshalAs(UnmanagedType.LPWStr)] string drive,
                                                    [In, Out] char[] caption, int count);

        /// <summary>1 when some optical drive reads Blu-ray media, else 0.</summary>
        [DllImport(Library, EntryPoint = "hasBDOdd", CallingConvention = CallingConvention.Cdecl)]
        public static extern int hasBDOdd();

        // fnGetSVID has three exported names: MSVC's decoration in each Windows DLL, the plain name
        // in libquoril.so. An AnyCPU program learns which one applies only when it runs.
        [DllImport(Library, EntryPoint = "?fnGetSVID@@YAHJQAD@Z",
                   CallingConvention = CallingConvention.Cdecl)]
        static extern int fnGetSVIDWindowsX86(int index, [In, Out] byte[] vendor);

        [DllImport(Library, EntryPoint = "?fnGetSVID@@YAHJQEAD@Z",
                   CallingConvention = CallingConvention.Cdecl)]
        static extern int fnGetSVIDWindowsX64(int index, [In, Out] byte[] vendor);

        [DllImport(Library, EntryPoint = "fnGetSVID", CallingConvention = CallingConvention.Cdecl)]
        static extern int fnGetSVIDPlain(int index, [In, Out] byte[] vendor);

        /// <summary>The PCI subsystem vendor of display adapter <paramref name="index"/>; 1 when
        /// there is such an adapter.</summary>
        /// <param name="index">The adapter, from 0.</param>
        /// <param name="vendor">At least QUORIL_VENDOR_BYTES (5) bytes.</param>
        public static int fnGetSVID(int index, byte[] vendor)
        {
            if (!Hardware.IsWindows) return fnGetSVIDPlain(index, vendor);
            return IntPtr.Size == 8 ? fnGetSVIDWindowsX64(index, vendor)
                                    : fnGetSVIDWindowsX86(index, vendor);
        }

        // The type's initializer runs before the first of its methods, the imports included.
        static Native()
        {
#if NETFRAMEWORK
            if (Hardware.IsWindows) LoadFromArchitectureFolder();
#endif
        }

#if NETFRAMEWORK
        [DllImport("kernel32.dll", EntryPoint = "LoadLibraryW", CharSet = CharSet.Unicode)]
        static extern IntPtr LoadLibrary(string path);

        // The package's targets copy both DLLs into x86\ and x64\ of an AnyCPU program's folder.
        // Once one is loaded by its full path, the imports bind to it by its name; where neither
        // folder holds it (an x86 or x64 program), Windows finds the one beside the program.
        static void LoadFromArchitectureFolder()
        {
            string architecture = IntPtr.Size == 8 ? "x64" : "x86";
            string? assemblyFolder = Path.GetDirectoryName(typeof(Native).Assembly.Location);
            foreach (string? folder in new[] { AppDomain.CurrentDomain.BaseDirectory, assemblyFolder }) {
                if (string.IsNullOrEmpty(folder)) continue;
                string path = Path.Combine(folder, architecture, "quoril.dll");
                if (File.Exists(path) && LoadLibrary(path) != IntPtr.Zero) return;
            }
        }
#endif
    }

    /// <summary>The system board's product and maker, as
    /// <see cref="Hardware.BoardProductAndManufacturer"/> answers them.</summary>
    public sealed class Board
    {
        internal Board(string? product, string? manufacturer)
        {
            Product = product;
            Manufacturer = manufacturer;
        }

        /// <summary>The board's product; null when there is none.</summary>
        public string? Product { get; }

        /// <summary>The board's maker; null when there is none.</summary>
        public string? Manufacturer { get; }

        /// <summary>Both, for <c>var (product, manufacturer) = ...</c>.</summary>
        /// <param name="product">The board's product, or null.</param>
        /// <param name="manufacturer">The board's maker, or null.</param>
        public void Deconstruct(out string? product, out string? manufacturer)
        {
            product = Product;
            manufacturer = Manufacturer;
        }
    }

    /// <summary>
    /// What the library tells about this machine. null stands for no answer. On Windows, a call
    /// from a thread that is not in a single-threaded COM apartment (.NET's thread-pool threads
    /// and, by default, its main thread are in the multithreaded one) runs BoardProduct,
    /// BoardProductAndManufacturer and OpticalDriveCaptions on a short-lived single-threaded
    /// apartment thread and waits for it: the library refuses those three questions on a thread
    /// already in the multithreaded apartment.
    /// </summary>
    public static class Hardware
    {
        /// <summary>The system board's product; null when there is none or the query failed.
        /// </summary>
        public static string? BoardProduct()
        {
            return OnSingleThreadedApartment(() => {
                var product = new char[Sizes.QUORIL_BOARD_TEXT_UNITS];
                return Native.fnGetPID(product) == 1 ? TextOrNull(product) : null;
            });
        }

        /// <summary>The board's product and maker, each null when there is none.</summary>
        public static Board BoardProductAndManufacturer()
        {
            return OnSingleThreadedApartment(() => {
                var product = new char[Sizes.QUORIL_BOARD_TEXT_UNITS];
                var manufacturer = new char[Sizes.QUORIL_BOARD_TEXT_UNITS];
                if (Native.fnGetWMIInfo(product, manufacturer) != 1) return new Board(null, null);
                return new Board(TextOrNull(product), TextOrNull(manufacturer));
            });
        }

        /// <summary>
        /// The optical drives' captions in listing order (at most ten): empty when there is no
        /// drive, null when they could not be listed.
        /// </summary>
        public static IReadOnlyList<string>? OpticalDriveCaptions()
        {
            return OnSingleThreadedApartment(() => {
                // The whole list: the library's least capacity could leave the tenth caption out.
                var buffer = new char[Sizes.QUORIL_CAPTION_LIST_WHOLE_UNITS];
                if (Native.fnListDriverCaption(buffer, buffer.Length) != 1) return null;
                string list = new string(buffer, 0, Length(buffer));
                // Every caption is followed by "\r\n", so the last piece is always empty.
                string[] captions = list.Split(new[] { "\r\n" }, StringSplitOptions.None);
                Array.Resize(ref captions, captions.Length - 1);
                return (IReadOnlyList<string>?)Array.AsReadOnly(captions);
            });
        }

        /// <summary>
        /// The caption of the first optical drive whose name ("D:") occurs in
        /// <paramref name="drive"/>, letter case aside; null when there is none.
        /// </summary>
        /// <param name="drive">A text naming a drive: "D:", "e:\setup.exe".</param>
        /// <exception cref="ArgumentException"><paramref name="drive"/> holds a zero character.
        /// </exception>
        public static string? DriveCaption(string drive)
        {
            RefuseNul(drive, nameof(drive));
            var caption = new char[Sizes.QUORIL_CAPTION_UNITS];
            if (Native.fnGetDriveCaptionW(drive, caption, caption.Length) != 1) return null;
            return TextOrNull(caption);
        }

        /// <summary>Whether the processor's brand string contains <paramref name="text"/>, as UTF-8
        /// bytes, letter case counting.</summary>
        /// <param name="text">The text to look for.</param>
        /// <exception cref="ArgumentException"><paramref name="text"/> holds a zero character.
        /// </exception>
        public static bool CpuBrandContains(string text)
        {
            RefuseNul(text, nameof(text));
            byte[] narrow = Encoding.UTF8.GetBytes(text + "\0");
            return Native.fnVoIsCPU(narrow) == 1;
        }

        /// <summary>
        /// The PCI subsystem vendor of display adapter <paramref name="index"/> (four characters,
        /// or empty when its identifier has none); null past the last adapter.
        /// </summary>
        /// <param name="index">The adapter, from 0.</param>
        public static string? DisplayAdapterSubsystemVendor(int index)
        {
            var vendor = new byte[Sizes.QUORIL_VENDOR_BYTES];
            if (Native.fnGetSVID(index, vendor) != 1) return null;
            int length = Array.IndexOf(vendor, (byte)0);
            return Encoding.ASCII.GetString(vendor, 0, length < 0 ? vendor.Length : length);
        }

        /// <summary>The subsystem vendor of every display adapter, in the library's order.
        /// </summary>
        public static IReadOnlyList<string> DisplayAdapterSubsystemVendors()
        {
            var vendors = new List<string>();
            for (int index = 0; index >= 0; ++index) {
                string? vendor = DisplayAdapterSubsystemVendor(index);
                if (vendor == null) break;
                vendors.Add(vendor);
            }
            return vendors.AsReadOnly();
        }

        /// <summary>Whether some optical drive reads Blu-ray media. Blocks while each drive
        /// answers.</summary>
        public static bool HasBluRayDrive()
        {
            return Native.hasBDOdd() == 1;
        }

        internal static bool IsWindows
        {
            get {
                PlatformID platform = Environment.OSVersion.Platform;
                return platform == PlatformID.Win32NT || platform == PlatformID.Win32Windows;
            }
        }

        static T OnSingleThreadedApartment<T>(Func<T> call)
        {
            if (!IsWindows || Thread.CurrentThread.GetApartmentState() == ApartmentState.STA) {
                return call();
            }
            T result = default!;
            ExceptionDispatchInfo? failure = null;
            var thread = new Thread(() => {
                try {
                    result = call();
                } catch (Exception e) {
                    failure = ExceptionDispatchInfo.Capture(e);
                }
            });
            thread.SetApartmentState(ApartmentState.STA);
            thread.Start();
            thread.Join();
            failure?.Throw();
            return result;
        }

        // The library takes zero-terminated text: a text holding a zero would be cut short there
        // and answer for another text.
        static void RefuseNul(string text, string name)
        {
            if (text == null) throw new ArgumentNullException(name);
            if (text.IndexOf('\0') >= 0) {
                throw new ArgumentException("text holds a zero character", name);
            }
        }

        static int Length(char[] buffer)
        {
            int length = Array.IndexOf(buffer, '\0');
            return length < 0 ? buffer.Length : length;
        }

        static string? TextOrNull(char[] buffer)
        {
            int length = Length(buffer);
            return length == 0 ? null : new string(buffer, 0, length);
        }
    }
}
