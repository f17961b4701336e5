// What the compiler can prove of the module boundary (base/pxapi.h) in the build at hand: each
// callback the host calls and each host function the plug-in calls has the type the host was
// built with, spelled out here apart from the header, and the record the host hands over has its
// size and layout. Where a pointer, a long or the calling convention of a 32-bit Windows build
// differs, a mistake fails the product's build instead of crashing the host.
#include <cstddef>
#include <type_traits>

#include "base/pxapi.h"

namespace {

// The host's calling convention: cdecl on Windows, whose 32-bit build decorates nothing with it,
// and the platform's one elsewhere.
#if defined(_WIN32)
#define QF_HOST_ABI __cdecl
#else
#define QF_HOST_ABI
#endif

template <typename Actual, typename Expected>
constexpr bool kSame = std::is_same<Actual, Expected>::value;

// The callbacks, by the export table.
static_assert(kSame<decltype(&PXC_OnStart), int(QF_HOST_ABI*)()>, "PXC_OnStart");
static_assert(kSame<decltype(&PXC_OnExit), int(QF_HOST_ABI*)()>, "PXC_OnExit");
static_assert(kSame<decltype(&PXC_OnMenuInit), int(QF_HOST_ABI*)(HWND, HMENU, int)>,
              "PXC_OnMenuInit");
static_assert(kSame<decltype(&PXC_OnOpenFolder), int(QF_HOST_ABI*)(const char*)>,
              "PXC_OnOpenFolder");
static_assert(kSame<decltype(&PXC_OnOpenMail), int(QF_HOST_ABI*)(const char*)>, "PXC_OnOpenMail");
static_assert(kSame<decltype(&PXC_OnEveryMinute), int(QF_HOST_ABI*)()>, "PXC_OnEveryMinute");
static_assert(kSame<decltype(&PXC_OnOpenCompose), int(QF_HOST_ABI*)(HWND, int)>,
              "PXC_OnOpenCompose");
static_assert(kSame<decltype(&PXC_OnOutgoing), int(QF_HOST_ABI*)(HWND, int)>, "PXC_OnOutgoing");
static_assert(kSame<decltype(&PXC_OnKeyDispatch), int(QF_HOST_ABI*)(HWND, int, int)>,
              "PXC_OnKeyDispatch");
static_assert(kSame<decltype(&PXC_OnRetrieve), int(QF_HOST_ABI*)(const char*, const char*)>,
              "PXC_OnRetrieve");
static_assert(kSame<decltype(&PXC_OnSend), int(QF_HOST_ABI*)(const char*)>, "PXC_OnSend");
static_assert(kSame<decltype(&PXC_OnFinishRetrieve), int(QF_HOST_ABI*)(const char*)>,
              "PXC_OnFinishRetrieve");
static_assert(kSame<decltype(&PXC_OnPlugInSetup), int(QF_HOST_ABI*)(HWND)>, "PXC_OnPlugInSetup");
static_assert(kSame<decltype(&PXC_OnPlugInInfo), int(QF_HOST_ABI*)(PlugInInfo*)>,
              "PXC_OnPlugInInfo");
static_assert(kSame<decltype(&PXC_OnDragDrop), int(QF_HOST_ABI*)(HWND, const char*, int, int)>,
              "PXC_OnDragDrop");
static_assert(
    kSame<decltype(&PXC_OnBeforeFilter), int(QF_HOST_ABI*)(const char*, const char*, int)>,
    "PXC_OnBeforeFilter");

// The host functions the plug-in calls, and the menu command it hands the host.
static_assert(kSame<PxCommandProc, int(QF_HOST_ABI*)(HWND, int)>, "PxCommandProc");
static_assert(kSame<HostFn::PXA_GetVersion, const char*(QF_HOST_ABI*)()>, "PXA_GetVersion");
static_assert(
    kSame<HostFn::PXA_RegisterCommand, int(QF_HOST_ABI*)(const char*, int, PxCommandProc)>,
    "PXA_RegisterCommand");
static_assert(kSame<HostFn::PXA_GetDataFolder, const char*(QF_HOST_ABI*)()>, "PXA_GetDataFolder");
static_assert(kSame<HostFn::PXA_GetCurrentFolder, const char*(QF_HOST_ABI*)()>,
              "PXA_GetCurrentFolder");
static_assert(kSame<HostFn::PXA_GetFolderDisplayName, const char*(QF_HOST_ABI*)(const char*)>,
              "PXA_GetFolderDisplayName");
static_assert(kSame<HostFn::PXA_SetMessageText, void(QF_HOST_ABI*)(HWND, const char*)>,
              "PXA_SetMessageText");
static_assert(kSame<HostFn::PXA_AppendMessage, int(QF_HOST_ABI*)(const char*, const char*)>,
              "PXA_AppendMessage");
static_assert(kSame<HostFn::PXA_SetStatus, int(QF_HOST_ABI*)(const char*, int)>, "PXA_SetStatus");
static_assert(kSame<HostFn::PXA_GetSource, const char*(QF_HOST_ABI*)(const char*)>,
              "PXA_GetSource");
static_assert(kSame<HostFn::PXA_SetSource, int(QF_HOST_ABI*)(const char*, const char*)>,
              "PXA_SetSource");
static_assert(kSame<HostFn::PXA_Alloc, void*(QF_HOST_ABI*)(unsigned int)>, "PXA_Alloc");
static_assert(kSame<HostFn::PXA_Free, void(QF_HOST_ABI*)(void*)>, "PXA_Free");

// The plug-in's information record: four texts of 80 bytes, one after the other, nothing else.
static_assert(sizeof(PlugInInfo) == 320, "the information record is 320 bytes");
static_assert(offsetof(PlugInInfo, name) == 0 && offsetof(PlugInInfo, vendor) == 80 &&
                  offsetof(PlugInInfo, version) == 160 && offsetof(PlugInInfo, description) == 240,
              "the information record's texts lie where the host reads them");
static_assert(std::is_standard_layout<PlugInInfo>::value, "the record is a plain C record");

#if defined(_WIN32) && !defined(_WIN64)
// The product, 32-bit Windows: every value that crosses the boundary is four bytes, as the host's
// own build has them, and the host pops nothing of a callback's arguments (cdecl).
static_assert(sizeof(void*) == 4 && sizeof(HWND) == 4 && sizeof(HMENU) == 4,
              "handles and pointers are 32 bits");
static_assert(sizeof(int) == 4 && sizeof(long) == 4 && sizeof(unsigned int) == 4,
              "int, long and unsigned are 32 bits");
static_assert(sizeof(HostFn::PXA_AppendMessage) == 4 && sizeof(PxCommandProc) == 4,
              "function pointers are 32 bits");
static_assert(!kSame<decltype(&PXC_OnOpenMail), int(__stdcall*)(const char*)>,
              "callbacks are not stdcall, whose names the export table would not find");
static_assert(alignof(PlugInInfo) == 1, "the record has no padding a 32-bit host would not");
#endif

}  // namespace
