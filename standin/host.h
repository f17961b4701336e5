// The stand-in Pellix host: the state behind its exported PXA_ functions, and its mail store.
#pragma once

#include <string>
#include <vector>

#include "base/pxapi.h"

// The host functions the stand-in exports, declared from the one list the plug-in binds by, so
// that a definition with another signature does not compile.
extern "C" {
#define QF_DECLARE_HOST_EXPORT(slot, name, result, params, need) \
    QF_EXPORT result QF_CALL name params;
QF_HOST_FUNCTIONS(QF_DECLARE_HOST_EXPORT)
#undef QF_DECLARE_HOST_EXPORT
}

namespace pellix {

struct RegisteredCommand {
    std::string comment;
    int menuKind;
    PxCommandProc callback;
    int id;
};

// What the host knows; set up by main before the plug-in is loaded.
struct HostState {
    std::string dataFolder;     // absolute path of the mail store
    std::string currentFolder;  // empty: no folder on screen
    std::string version = "2.10.00";
    bool trace = false;
    // The system's apps use the dark theme (--dark): what the plug-in reads as the user's choice.
    bool dark = false;
    // How long the host waits for the plug-in's workers before it exits: the plug-in's connect
    // limit (60 s) and download deadline (5 min), with a margin.
    int workerWaitSeconds = 7 * 60;
    // The room the store's "disk" has left, in bytes; -1: as much as the real disk.
    int diskRoom = -1;
    std::vector<RegisteredCommand> commands;
    std::string shownSource;  // what the plug-in handed to PXA_SetSource("TEMP", ...)
    bool sourceWasSet = false;
};

HostState& State();

// Prints one line of the host's output, in the host's code page; safe to call from the plug-in's
// workers. SayUtf8 prints a line of UTF-8 (a message's source).
void Say(const std::string& line);
void SayUtf8(const std::string& line);

// A header value as the host reads it into its index, by the rule of a mail client of its time:
// folded lines are joined, RFC 2047 encoded-words in UTF-8 ("=?utf-8?B?...?=" or "?Q?") are
// decoded (the blanks between two adjacent words dropped), and the decoded text is converted to
// the host's ANSI code page, a character the code page lacks becoming "?" or a near character as
// Windows converts it. Words in other charsets, and text outside words, are kept as they are.
std::string DecodeHeaderValue(const std::string& raw);

// The mail store: one directory per folder id under the data folder, holding the index file
// "Folder.idx" (a header line, then "number 0x01 date 0x01 sender 0x01 subject" per message) and
// the messages as "N.msg".
std::string FolderPath(const std::string& folderId);
bool MakeFolder(const std::string& folderId);
// `diskFull` (may be null) says whether it failed for want of room on the disk.
bool AppendToFolder(const std::string& folderId, const char* message, bool* diskFull = nullptr);
struct IndexEntry {
    std::string number, date, sender, subject;
};
bool ReadIndex(const std::string& folderId, std::vector<IndexEntry>* entries);
bool ReadMessage(const std::string& folderId, const std::string& number, std::string* text);

}  // namespace pellix
