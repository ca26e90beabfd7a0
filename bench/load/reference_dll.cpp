// The least a DLL can hold: one export that does nothing. Built as quoril.dll is built, its load
// and unload time is what the loader and the build's start-up code cost by themselves.
extern "C" __declspec(dllexport) void __cdecl Test() {}
