// A vulkan-1.dll that refuses to load: beside a program, it stands for a computer without
// a Vulkan driver (message_box_test). A program's own folder is searched first.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) { return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE; }
