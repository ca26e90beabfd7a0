// The module entry. Loading and unloading Quoril does nothing: every export call gathers what
// it needs and releases it before returning, so there is nothing to set up or tear down.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
