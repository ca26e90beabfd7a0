/*
 * quoril.h: the plain-C export surface of the Quoril hardware-facts library.
 *
 * Every export uses the caller-cleans-stack convention (cdecl) and answers a signed 32-bit
 * integer: 1 for success or a true answer, 0 for failure or a false answer. The caller owns
 * every buffer; the library writes into it and keeps no pointer to it after returning. Nothing
 * is remembered between calls, and any export may be called from any thread.
 *
 * Linking
 *   MSVC hosts include this header and link the import library; every export resolves by name,
 *   fnGetSVID through its decorated name "?fnGetSVID@@YAHJQAD@Z" ("?fnGetSVID@@YAHJQEAD@Z" in
 *   the 64-bit library; declared below with C++ linkage so that MSVC produces exactly that
 *   reference).
 *
 *   MinGW hosts, C hosts and hosts that load the library at run time resolve fnGetSVID with
 *   GetProcAddress(module, QUORIL_FNGETSVID_SYMBOL) and call it through a quoril_fnGetSVID_fn
 *   pointer: the plain name "fnGetSVID" is not exported, and GCC's own decoration of the C++
 *   declaration does not match the exported one. The other exports resolve by their plain names.
 *
 *   Define QUORIL_STATIC before including this header when the library's code is linked into
 *   the same module (its own unit tests do this); the declarations then carry no dllimport.
 *
 * Where the library is built natively (a shared object on Linux), every export, fnGetSVID too,
 * is reached with dlsym under its plain name.
 */
#ifndef QUORIL_H
#define QUORIL_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(QUORIL_STATIC)
#define QUORIL_API
#else
#define QUORIL_API __declspec(dllimport)
#endif
#define QUORIL_CALL __cdecl
#else
#define QUORIL_API __attribute__((visibility("default")))
#define QUORIL_CALL
#endif

/* Wide text: UTF-16 in 16-bit units, ended by a zero unit, on every platform. */
#if defined(__cplusplus)
typedef char16_t quoril_wchar;
#else
typedef uint16_t quoril_wchar;
#endif

/* A signed 32-bit integer argument. On Windows this is `long`, so that fnGetSVID carries the
   signature its exported decorated name encodes; elsewhere `long` may be 64 bits wide. */
#if defined(_WIN32)
typedef long quoril_long32;
#else
typedef int32_t quoril_long32;
#endif

/* The exported name of fnGetSVID on Windows (64-bit builds mark the pointer argument as such). */
#if defined(_WIN64)
#define QUORIL_FNGETSVID_SYMBOL "?fnGetSVID@@YAHJQEAD@Z"
#else
#define QUORIL_FNGETSVID_SYMBOL "?fnGetSVID@@YAHJQAD@Z"
#endif

#if defined(__cplusplus)
extern "C" {
#endif

/* Does nothing; present so that a host can check that the library loads and links. */
QUORIL_API void QUORIL_CALL Test(void);

/* 1 when the processor's brand string contains `text` (a case-sensitive byte substring; the
   empty text is in every brand), else 0. A null `text` answers 0. Writes the brand and then
   "OK" or "FALSE" to the debugger output channel, nothing when the processor identification
   instruction is unavailable. */
QUORIL_API int QUORIL_CALL fnVoIsCPU(const char* text);

/* The system board's product, as WMI's Win32_BaseBoard reports it, copied into `product` (at
   least 256 units). With several boards the last one that has a product wins; a product longer
   than 255 units is cut to its first 255 units. 1 when the board query ran (also when there is
   no board, or it has no product: `product` is then untouched), 0 when WMI could not be reached
   or queried (also on a thread already in the multithreaded apartment); `product` is then
   untouched. A null `product` answers 0. */
QUORIL_API int QUORIL_CALL fnGetPID(quoril_wchar* product);

/* As fnGetPID, for the product and the manufacturer at once. Either buffer may be null; its
   property is then not read. Each buffer ends with the last text any board gave for its own
   property. */
QUORIL_API int QUORIL_CALL fnGetWMIInfo(quoril_wchar* product, quoril_wchar* manufacturer);

/* The first board's product in the calling thread's ANSI code page, written to `product` (at
   least 512 bytes) only when it is text and its conversion fits; at most 255 units are
   converted, so no double-byte character is split. Always answers 0: a caller sets `product`
   to an empty string first and learns of success from it. Works on a thread already in the
   multithreaded apartment, leaving the thread's COM initialisation as it found it. */
QUORIL_API int QUORIL_CALL fnGetBaseBoardPorductA(char* product);

/* The captions of the optical drives (WMI's Win32_CDROMDrive), the first ten in listing order,
   each followed by "\r\n", then a zero unit. `capacity` is the buffer's size in units and must
   be at least 2560. Nothing is ever written past `capacity` units: a caption that would not
   fit whole with its "\r\n" and the terminator is left out with every one after it. 1 on
   success (an empty string when there is no drive), 0 when the buffer is null, the capacity
   below 2560, or WMI unreachable; the buffer is then untouched. */
QUORIL_API int QUORIL_CALL fnListDriverCaption(quoril_wchar* buffer, int capacity);

/* The caption of the first optical drive whose "Drive" value (for instance "D:") occurs in
   `drive`, letter case of a-z aside, written into `caption`: at most `count` - 1 units of it,
   then zero units up to and including unit `count` - 1. 1 when such a drive with a caption was
   found, else 0 with `caption` untouched. A null `drive` or `caption`, or a `count` below 1,
   answers 0 and writes nothing. */
QUORIL_API int QUORIL_CALL fnGetDriveCaptionW(const quoril_wchar* drive, quoril_wchar* caption,
                                              int count);

/* 1 when some drive letter from A to Z is an optical drive that lists a Blu-ray profile
   (BD-ROM, BD-R or BD-RE, whether or not a disc of that kind is inserted) in its answer to
   GET CONFIGURATION, else 0. Letters are tried in order and the search stops at the first such
   drive. A drive that cannot be opened or does not answer counts as no Blu-ray drive. Reaches
   drives through SCSI pass-through on the NT family and through the ASPI manager WNASPI32 on
   Windows 95, 98 and ME; blocks while each drive answers. */
QUORIL_API int QUORIL_CALL hasBDOdd(void);

typedef void(QUORIL_CALL* quoril_Test_fn)(void);
typedef int(QUORIL_CALL* quoril_fnVoIsCPU_fn)(const char* text);
typedef int(QUORIL_CALL* quoril_fnGetSVID_fn)(quoril_long32 index, char* out);
typedef int(QUORIL_CALL* quoril_fnGetPID_fn)(quoril_wchar* product);
typedef int(QUORIL_CALL* quoril_fnGetWMIInfo_fn)(quoril_wchar* product, quoril_wchar* manufacturer);
typedef int(QUORIL_CALL* quoril_fnGetBaseBoardPorductA_fn)(char* product);
typedef int(QUORIL_CALL* quoril_fnListDriverCaption_fn)(quoril_wchar* buffer, int capacity);
typedef int(QUORIL_CALL* quoril_fnGetDriveCaptionW_fn)(const quoril_wchar* drive,
                                                       quoril_wchar* caption, int count);
typedef int(QUORIL_CALL* quoril_hasBDOdd_fn)(void);

/* Display adapter `index` (0, 1, 2 ... until it answers 0): 0 when there is no display adapter
   at that index, else 1. `out` (at least 5 bytes) receives the four characters that stand last
   in the SUBSYS field of the adapter's device identifier (the PCI subsystem vendor), or an
   empty string when the identifier has no readable SUBSYS field. A null `out` answers 0.
   On Windows it has C++ linkage on purpose (see "Linking" above), so C hosts there reach it
   only through GetProcAddress. */
#if !defined(_WIN32)
QUORIL_API int QUORIL_CALL fnGetSVID(quoril_long32 index, char out[]);
#endif

#if defined(__cplusplus)
}
#if defined(_WIN32)
QUORIL_API int QUORIL_CALL fnGetSVID(quoril_long32 index, char out[]);
#endif
#endif

#endif /* QUORIL_H */
