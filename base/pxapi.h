// The module boundary between the plug-in and the Pellix host, stated once.
//
// The host exports 56 functions whose names begin with PXA_; the plug-in binds them by name at
// load time (see hostapi.h). The plug-in exports sixteen PXC_ callbacks that the host calls on
// its own thread. Every function on either side uses the calling convention QF_CALL, which the
// platform header defines (cdecl on Windows, so the export names stay undecorated).
//
// The list below is the single source for the host functions: the HostApi record, the lookup
// order and the stand-in host's prototypes are all generated from it, so the plug-in and a host
// built from this header cannot disagree on a signature.
#pragma once

#include "base/capacities.h"
#include "platform.h"

// The host's menu kind to which the plug-in adds its two commands.
constexpr int kPluginMenuKind = 2;

// A menu command registered with PXA_RegisterCommand: the owner window and one further argument.
typedef int(QF_CALL* PxCommandProc)(HWND window, int argument);

// How a host function's absence is judged while binding.
enum class HostNeed {
    kRequired,   // missing: the load is refused
    kByVersion,  // required only by hosts of version 2.00.06 or later
    kOptional,   // may be missing
};

// X(slot, name, result, parameters, need). Texts that the host returns belong to the host; the
// plug-in reads or copies them at once and never releases them.
#define QF_HOST_FUNCTIONS(X)                                                                      \
    X(1, PXA_GetVersion, const char*, (void), kRequired)                                          \
    X(2, PXA_Command, int, (const char* command), kRequired)                                      \
    X(3, PXA_GetWindowHandles, int, (HWND * main, HWND * tree, HWND * list, HWND * view),         \
      kRequired)                                                                                  \
    X(4, PXA_RegisterCommand, int, (const char* comment, int menuKind, PxCommandProc callback),   \
      kRequired)                                                                                  \
    X(5, PXA_RegisterUICallback, int, (int kind, PxCommandProc callback), kRequired)              \
    X(6, PXA_GetDataFolder, const char*, (void), kRequired)                                       \
    X(7, PXA_GetTempFolder, const char*, (void), kRequired)                                       \
    X(8, PXA_GetTempFileName, const char*, (const char* prefix), kRequired)                       \
    X(9, PXA_GetCurrentMailBox, const char*, (void), kRequired)                                   \
    X(10, PXA_SetCurrentMailBox, int, (const char* mailBox), kRequired)                           \
    X(11, PXA_GetCurrentFolder, const char*, (void), kRequired)                                   \
    X(12, PXA_SetCurrentFolder, int, (const char* folderId), kRequired)                           \
    X(13, PXA_GetFolderDisplayName, const char*, (const char* folderId), kRequired)               \
    X(14, PXA_SetMessageText, void, (HWND window, const char* text), kRequired)                   \
    X(15, PXA_GetCurrentMail, const char*, (void), kRequired)                                     \
    X(16, PXA_SetCurrentMail, int, (const char* mailId), kRequired)                               \
    X(17, PXA_GetNextMail, const char*, (const char* mailId, int flags), kRequired)               \
    X(18, PXA_SetSel, int, (const char* mailId, int select), kRequired)                           \
    X(19, PXA_AppendMessage, int, (const char* folderId, const char* message), kRequired)         \
    X(20, PXA_MoveSelectedMessages, int, (const char* folderId, int copy), kRequired)             \
    X(21, PXA_GetStatus, int, (const char* mailId), kRequired)                                    \
    X(22, PXA_SetStatus, int, (const char* mailId, int status), kByVersion)                       \
    X(23, PXA_ComposeMail, HWND, (const char* to), kRequired)                                     \
    X(24, PXA_GetCharSet, const char*, (const char* mailId), kRequired)                           \
    X(25, PXA_GetSource, const char*, (const char* mailId), kRequired)                            \
    X(26, PXA_SetSource, int, (const char* mailId, const char* source), kRequired)                \
    X(27, PXA_GetHeader, const char*, (const char* mailId), kRequired)                            \
    X(28, PXA_GetText, const char*, (const char* mailId, int html), kRequired)                    \
    X(29, PXA_SetText, int, (const char* mailId, const char* text), kRequired)                    \
    X(30, PXA_GetSpecifiedHeader, const char*, (const char* mailId, const char* name), kRequired) \
    X(31, PXA_SetSpecifiedHeader, int, (const char* mailId, const char* name, const char* value), \
      kRequired)                                                                                  \
    X(32, PXA_CompGetCharSet, const char*, (HWND compose), kRequired)                             \
    X(33, PXA_CompGetSource, const char*, (HWND compose), kRequired)                              \
    X(34, PXA_CompSetSource, int, (HWND compose, const char* source), kRequired)                  \
    X(35, PXA_CompGetHeader, const char*, (HWND compose), kRequired)                              \
    X(36, PXA_CompGetSpecifiedHeader, const char*, (HWND compose, const char* name), kRequired)   \
    X(37, PXA_CompSetSpecifiedHeader, int, (HWND compose, const char* name, const char* value),   \
      kRequired)                                                                                  \
    X(38, PXA_CompGetText, const char*, (HWND compose, int html), kRequired)                      \
    X(39, PXA_CompSetText, int, (HWND compose, const char* text), kRequired)                      \
    X(40, PXA_CompAttachFile, int, (HWND compose, const char* path), kRequired)                   \
    X(41, PXA_Alloc, void*, (unsigned int size), kRequired)                                       \
    X(42, PXA_ReAlloc, void*, (void* block, unsigned int size), kRequired)                        \
    X(43, PXA_Free, void, (void* block), kRequired)                                               \
    X(44, PXA_ISO_2022_JP, const char*, (const char* text, int encode), kRequired)                \
    X(45, PXA_ISO_2022_KR, const char*, (const char* text, int encode), kRequired)                \
    X(46, PXA_HZ_GB2312, const char*, (const char* text, int encode), kRequired)                  \
    X(47, PXA_ISO_8859_2, const char*, (const char* text, int encode), kRequired)                 \
    X(48, PXA_EUC_JP, const char*, (const char* text, int encode), kRequired)                     \
    X(49, PXA_UTF_7, const char*, (const char* text, int encode), kRequired)                      \
    X(50, PXA_UTF_8, const char*, (const char* text, int encode), kRequired)                      \
    X(51, PXA_B64Convert, const char*, (const char* text, int encode), kRequired)                 \
    X(52, PXA_QPConvert, const char*, (const char* text, int encode), kRequired)                  \
    X(53, PXA_MIMEHeader, const char*, (const char* text, int encode), kRequired)                 \
    X(54, PXA_SerializeRcpts, const char*, (const char* recipients), kRequired)                   \
    X(55, PXA_Connect, int, (const char* host, int port), kRequired)                              \
    X(56, PXA_NextUnread, const char*, (const char* mailId), kOptional)

// One pointer type per host function, named after it: HostFn::PXA_GetVersion and so on.
namespace HostFn {
#define QF_DECLARE_HOST_FN(slot, name, result, params, need) typedef result(QF_CALL* name) params;
QF_HOST_FUNCTIONS(QF_DECLARE_HOST_FN)
#undef QF_DECLARE_HOST_FN
}  // namespace HostFn

// The record the host fills when it asks for the plug-in's information: four 80-byte texts.
struct PlugInInfo {
    char name[kPlugInInfoFieldCapacity];
    char vendor[kPlugInInfoFieldCapacity];
    char version[kPlugInInfoFieldCapacity];
    char description[kPlugInInfoFieldCapacity];
};

// The sixteen callbacks, in the order of the module's export table (res/pxQuillfeed.def).
// Arguments the plug-in never reads are left unnamed.
extern "C" {
QF_EXPORT int QF_CALL PXC_OnStart(void);
QF_EXPORT int QF_CALL PXC_OnExit(void);
QF_EXPORT int QF_CALL PXC_OnMenuInit(HWND, HMENU menu, int menuKind);
QF_EXPORT int QF_CALL PXC_OnOpenFolder(const char* folderId);
QF_EXPORT int QF_CALL PXC_OnOpenMail(const char* mailId);
QF_EXPORT int QF_CALL PXC_OnEveryMinute(void);
QF_EXPORT int QF_CALL PXC_OnOpenCompose(HWND, int);
QF_EXPORT int QF_CALL PXC_OnOutgoing(HWND, int);
QF_EXPORT int QF_CALL PXC_OnKeyDispatch(HWND, int, int);
QF_EXPORT int QF_CALL PXC_OnRetrieve(const char*, const char*);
QF_EXPORT int QF_CALL PXC_OnSend(const char*);
QF_EXPORT int QF_CALL PXC_OnFinishRetrieve(const char*);
QF_EXPORT int QF_CALL PXC_OnPlugInSetup(HWND window);
QF_EXPORT int QF_CALL PXC_OnPlugInInfo(PlugInInfo* info);
QF_EXPORT int QF_CALL PXC_OnDragDrop(HWND, const char*, int, int);
QF_EXPORT int QF_CALL PXC_OnBeforeFilter(const char*, const char*, int);
}
