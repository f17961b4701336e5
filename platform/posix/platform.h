// The POSIX side of the platform layer: it stands in for the Win32 headers the subsystems
// include, with the same names and behaviour for exactly the calls the system makes. The shared
// headers of platform/ include this (through the include path that CMake sets for the build) and
// say what the system relies on; each area's stand-in declarations are in a *_api.h file here,
// included at the end. This header itself holds the basic types and the module, debug-output
// and profile calls.
#pragma once

#include <cstddef>
#include <cstdint>

// The calling convention of the host boundary, and how a function is exported by name.
#define QF_CALL
#define QF_EXPORT __attribute__((visibility("default")))
// How the module entry is declared: exported by name, for the stand-in loader to find.
#define QF_MODULE_ENTRY __attribute__((visibility("default")))

// The separator the system puts between the parts of a file path it builds.
#define QF_PATH_SEPARATOR "/"

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef unsigned long DWORD;
typedef unsigned short WORD;
typedef unsigned char BYTE;
typedef long LONG;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef void* HMODULE;
typedef void* HINSTANCE;
typedef struct HWND__* HWND;
typedef struct HMENU__* HMENU;
typedef void (*FARPROC)();

#define TRUE 1
#define FALSE 0

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Module functions (platform/modules.h). The "main executable" is the program the process runs;
// names resolve among what it exports.
HMODULE GetModuleHandleA(const char* moduleName);
FARPROC GetProcAddress(HMODULE module, const char* name);
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
int lstrlenA(const char* text);
int lstrcmpA(const char* a, const char* b);


// Copies at most size - 1 characters of `from` and a terminator into `to`, as Windows' lstrcpynA
// does: the one bounded copy of the stand-ins. Returns `to`.
char* lstrcpynA(char* to, const char* from, int size);

#include "codepage_api.h"
#include "dialog_api.h"
#include "loader_api.h"
#include "winsock_api.h"
