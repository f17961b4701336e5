// The 56 host functions the stand-in exports. The eleven the plug-in calls behave as the real
// host's do; the others exist so that the plug-in binds, and answer nothing.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/console.h"
#include "platform/files.h"
#include "standin/host.h"

namespace pellix {

HostState& State() {
    static HostState state;
    return state;
}

namespace {

std::mutex g_sayLock;

}  // namespace

void Say(const std::string& line) {
    std::lock_guard<std::mutex> hold(g_sayLock);
    WriteOutputLine(line.c_str());
}

void SayUtf8(const std::string& line) {
    std::lock_guard<std::mutex> hold(g_sayLock);
    WriteUtf8OutputLine(line.c_str());
}

}  // namespace pellix

using pellix::State;

extern "C" {

// The stand-in's debug output: the plug-in's traces, shown when the host runs with --trace.
QF_EXPORT void PellixDebugOutput(const char* text) {
    if (State().trace) {
        pellix::Say(std::string("trace: ") + text);
    }
}

// The user's choice of app theme, as the plug-in reads it where there is no Windows registry.
QF_EXPORT int PellixDarkTheme(void) {
    return State().dark ? 1 : 0;
}

const char* QF_CALL PXA_GetVersion(void) {
    return State().version.c_str();
}

int QF_CALL PXA_RegisterCommand(const char* comment, int menuKind, PxCommandProc callback) {
    int id = 40001 + static_cast<int>(State().commands.size());
    State().commands.push_back({comment ? comment : "", menuKind, callback, id});
    return id;
}

const char* QF_CALL PXA_GetDataFolder(void) {
    return State().dataFolder.c_str();
}

const char* QF_CALL PXA_GetCurrentFolder(void) {
    return State().currentFolder.empty() ? nullptr : State().currentFolder.c_str();
}

const char* QF_CALL PXA_GetFolderDisplayName(const char* folderId) {
    // Workers ask at the same time; each thread gets its own answer to read.
    thread_local std::string name;
    name = folderId ? folderId : "";
    for (char& c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    return name.c_str();
}

void QF_CALL PXA_SetMessageText(HWND, const char* text) {
    pellix::Say(std::string("status: ") + (text ? text : ""));
}

int QF_CALL PXA_AppendMessage(const char* folderId, const char* message) {
    bool diskFull = false;
    if (folderId != nullptr && pellix::AppendToFolder(folderId, message, &diskFull)) {
        return 1;
    }
    // As a host on a full disk leaves it, for the plug-in to tell why.
    if (diskFull) {
        SayDiskFull();
    }
    return 0;
}

const char* QF_CALL PXA_GetSource(const char* mailId) {
    // Message ids are "folder id" + "|" + message number.
    thread_local std::string source;
    std::string id = mailId ? mailId : "";
    size_t bar = id.rfind('|');
    if (bar == std::string::npos ||
        !pellix::ReadMessage(id.substr(0, bar), id.substr(bar + 1), &source)) {
        return nullptr;
    }
    return source.c_str();
}

int QF_CALL PXA_SetSource(const char* mailId, const char* source) {
    if (mailId && std::string(mailId) == "TEMP") {
        State().shownSource = source ? source : "";
        State().sourceWasSet = true;
    }
    return 1;
}

void* QF_CALL PXA_Alloc(unsigned int size) {
    return malloc(size);
}

void QF_CALL PXA_Free(void* block) {
    free(block);
}

// The rest answer nothing.
int QF_CALL PXA_Command(const char*) {
    return 0;
}
int QF_CALL PXA_GetWindowHandles(HWND*, HWND*, HWND*, HWND*) {
    return 0;
}
int QF_CALL PXA_RegisterUICallback(int, PxCommandProc) {
    return 0;
}
const char* QF_CALL PXA_GetTempFolder(void) {
    return nullptr;
}
const char* QF_CALL PXA_GetTempFileName(const char*) {
    return nullptr;
}
const char* QF_CALL PXA_GetCurrentMailBox(void) {
    return nullptr;
}
int QF_CALL PXA_SetCurrentMailBox(const char*) {
    return 0;
}
int QF_CALL PXA_SetCurrentFolder(const char*) {
    return 0;
}
const char* QF_CALL PXA_GetCurrentMail(void) {
    return nullptr;
}
int QF_CALL PXA_SetCurrentMail(const char*) {
    return 0;
}
const char* QF_CALL PXA_GetNextMail(const char*, int) {
    return nullptr;
}
int QF_CALL PXA_SetSel(const char*, int) {
    return 0;
}
int QF_CALL PXA_MoveSelectedMessages(const char*, int) {
    return 0;
}
int QF_CALL PXA_GetStatus(const char*) {
    return 0;
}
#if !defined(PELLIX_WITHOUT_SETSTATUS)
int QF_CALL PXA_SetStatus(const char*, int) {
    return 0;
}
#endif
HWND QF_CALL PXA_ComposeMail(const char*) {
    return nullptr;
}
const char* QF_CALL PXA_GetCharSet(const char*) {
    return nullptr;
}
const char* QF_CALL PXA_GetHeader(const char*) {
    return nullptr;
}
const char* QF_CALL PXA_GetText(const char*, int) {
    return nullptr;
}
int QF_CALL PXA_SetText(const char*, const char*) {
    return 0;
}
const char* QF_CALL PXA_GetSpecifiedHeader(const char*, const char*) {
    return nullptr;
}
int QF_CALL PXA_SetSpecifiedHeader(const char*, const char*, const char*) {
    return 0;
}
const char* QF_CALL PXA_CompGetCharSet(HWND) {
    return nullptr;
}
const char* QF_CALL PXA_CompGetSource(HWND) {
    return nullptr;
}
int QF_CALL PXA_CompSetSource(HWND, const char*) {
    return 0;
}
const char* QF_CALL PXA_CompGetHeader(HWND) {
    return nullptr;
}
const char* QF_CALL PXA_CompGetSpecifiedHeader(HWND, const char*) {
    return nullptr;
}
int QF_CALL PXA_CompSetSpecifiedHeader(HWND, const char*, const char*) {
    return 0;
}
const char* QF_CALL PXA_CompGetText(HWND, int) {
    return nullptr;
}
int QF_CALL PXA_CompSetText(HWND, const char*) {
    return 0;
}
int QF_CALL PXA_CompAttachFile(HWND, const char*) {
    return 0;
}
void* QF_CALL PXA_ReAlloc(void* block, unsigned int size) {
    return realloc(block, size);
}
const char* QF_CALL PXA_ISO_2022_JP(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_ISO_2022_KR(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_HZ_GB2312(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_ISO_8859_2(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_EUC_JP(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_UTF_7(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_UTF_8(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_B64Convert(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_QPConvert(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_MIMEHeader(const char*, int) {
    return nullptr;
}
const char* QF_CALL PXA_SerializeRcpts(const char*) {
    return nullptr;
}
int QF_CALL PXA_Connect(const char*, int) {
    return 0;
}
const char* QF_CALL PXA_NextUnread(const char*) {
    return nullptr;
}

}  // extern "C"
