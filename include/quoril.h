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
 *   fnGetSVID through its decorated name "?fnGetSVID@@YAHJQAD@Z" (declared below with C++
 *   linkage so that MSVC produces exactly that reference).
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

/* The exported name of fnGetSVID on Windows. */
#define QUORIL_FNGETSVID_SYMBOL "?fnGetSVID@@YAHJQAD@Z"

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
