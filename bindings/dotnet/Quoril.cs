// SPDX-License-Identifier: MIT
// Quoril for .NET: the library's nine exports as quoril.h declares them (Quoril.Native), and a
// small layer over them that answers in strings, lists and booleans (Quoril.Hardware).
//
// One file, C# 7.2, nothing beyond the base library. The runtime finds the library under the
// name "quoril": quoril.dll on Windows (the 32-bit or the 64-bit one, as the process is) and
// libquoril.so on Linux, beside the program or, from the NuGet package, in its
// runtimes/<rid>/native folder.
//
// Nothing is cached: every answer is asked of the library afresh, one export call for each
// (DisplayAdapterSubsystemVendors walks the adapters with one call per index).
using System;
using System.Collections.Generic;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;

namespace Quoril
{
    /// <summary>
    /// The exports as the library declares them: the caller-cleans-stack convention, 16-bit wide
    /// text, caller-owned buffers, 1 or 0. quoril.h gives each one's contract.
    /// </summary>
    public static class Native
    {
        public const string Library = "quoril";

        [DllImport(Library, EntryPoint = "Test", CallingConvention = CallingConvention.Cdecl)]
        public static extern void Test();

        [DllImport(Library, EntryPoint = "fnVoIsCPU", CallingConvention = CallingConvention.Cdecl)]
        public static extern int fnVoIsCPU([In] byte[] text);

        [DllImport(Library, EntryPoint = "fnGetPID", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Unicode)]
        public static extern int fnGetPID([In, Out] char[] product);

        [DllImport(Library, EntryPoint = "fnGetWMIInfo",
                   CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        public static extern int fnGetWMIInfo([In, Out] char[] product,
                                              [In, Out] char[] manufacturer);

        [DllImport(Library, EntryPoint = "fnGetBaseBoardPorductA",
                   CallingConvention = CallingConvention.Cdecl)]
        public static extern int fnGetBaseBoardPorductA([In, Out] byte[] product);

        [DllImport(Library, EntryPoint = "fnListDriverCaption",
                   CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        public static extern int fnListDriverCaption([In, Out] char[] buffer, int capacity);

        [DllImport(Library, EntryPoint = "fnGetDriveCaptionW",
                   CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        public static extern int fnGetDriveCaptionW([MarshalAs(UnmanagedType.LPWStr)] string drive,
                                                    [In, Out] char[] caption, int count);

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

        public static int fnGetSVID(int index, byte[] vendor)
        {
            if (!Hardware.IsWindows) return fnGetSVIDPlain(index, vendor);
            return IntPtr.Size == 8 ? fnGetSVIDWindowsX64(index, vendor)
                                    : fnGetSVIDWindowsX86(index, vendor);
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
        // A board value: at most 255 units and the terminator.
        const int BoardUnits = 256;
        // The whole caption list: ten captions of at most 255 units, each with "\r\n", then the
        // terminator (the library's minimum of 2560 units could leave the tenth out).
        const int CaptionListUnits = 10 * (255 + 2) + 1;
        const int CaptionUnits = 256;
        const int VendorBytes = 5;

        /// <summary>The system board's product; null when there is none or the query failed.
        /// </summary>
        public static string BoardProduct()
        {
            return OnSingleThreadedApartment(() => {
                var product = new char[BoardUnits];
                return Native.fnGetPID(product) == 1 ? TextOrNull(product) : null;
            });
        }

        /// <summary>The board's product and maker, each null when there is none.</summary>
        public static (string Product, string Manufacturer) BoardProductAndManufacturer()
        {
            return OnSingleThreadedApartment(() => {
                var product = new char[BoardUnits];
                var manufacturer = new char[BoardUnits];
                if (Native.fnGetWMIInfo(product, manufacturer) != 1) return (null, null);
                return (TextOrNull(product), TextOrNull(manufacturer));
            });
        }

        /// <summary>
        /// The optical drives' captions in listing order (at most ten): empty when there is no
        /// drive, null when they could not be listed.
        /// </summary>
        public static IReadOnlyList<string> OpticalDriveCaptions()
        {
            return OnSingleThreadedApartment(() => {
                var buffer = new char[CaptionListUnits];
                if (Native.fnListDriverCaption(buffer, buffer.Length) != 1) return null;
                string list = new string(buffer, 0, Length(buffer));
                // Every caption is followed by "\r\n", so the last piece is always empty.
                string[] captions = list.Split(new[] { "\r\n" }, StringSplitOptions.None);
                Array.Resize(ref captions, captions.Length - 1);
                return Array.AsReadOnly(captions);
            });
        }

        /// <summary>
        /// The caption of the first optical drive whose name ("D:") occurs in
        /// <paramref name="drive"/>, letter case aside; null when there is none.
        /// </summary>
        public static string DriveCaption(string drive)
        {
            RefuseNul(drive, nameof(drive));
            var caption = new char[CaptionUnits];
            if (Native.fnGetDriveCaptionW(drive, caption, caption.Length) != 1) return null;
            return TextOrNull(caption);
        }

        /// <summary>Whether the processor's brand string contains <paramref name="text"/>, as UTF-8
        /// bytes, letter case counting.</summary>
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
        public static string DisplayAdapterSubsystemVendor(int index)
        {
            var vendor = new byte[VendorBytes];
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
                string vendor = DisplayAdapterSubsystemVendor(index);
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
            T result = default(T);
            ExceptionDispatchInfo failure = null;
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

        static string TextOrNull(char[] buffer)
        {
            int length = Length(buffer);
            return length == 0 ? null : new string(buffer, 0, length);
        }
    }
}
