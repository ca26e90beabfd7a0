// SPDX-License-Identifier: MIT
// The least a DLL can hold: one export that does nothing. Built and entered as quoril.dll is, its
// load and unload time is what the loader and the module's start-up cost by themselves.
extern "C" __declspec(dllexport) void __cdecl Test() {}
