// The win32 side of the platform layer: the real Windows headers for every platform call the
// system makes, and the few names both sides define. The shared headers of platform/ include
// this (through the include path that CMake sets for the build) and add the contract of what the
// system itself builds on top.
#pragma once

// Windows Sockets 2 before windows.h, which would otherwise bring the first version's header:
// getaddrinfo (ws2tcpip.h) resolves IPv6 hosts as well as IPv4 ones.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <ole2.h>
#include <mbctype.h>
#include <process.h>

#define QF_CALL __cdecl
#define QF_EXPORT __declspec(dllexport)
// How the module entry is declared: the loader finds it without an export.
#define QF_MODULE_ENTRY WINAPI

// The separator the system puts between the parts of a file path it builds.
#define QF_PATH_SEPARATOR "\\"

// The plug-in module's file name on this platform.
#define QF_PLUGIN_FILE_NAME "pxQuillfeed.dll"

// The type of the address length that accept and getsockname fill in.
typedef int SocketLength;
