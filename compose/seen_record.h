// The record of the items a folder has seen: the identity of every item of its feed that was
// appended or found already there, with when the feed last held it. It lets a refresh tell an
// item by its identity (its guid or id, else its link, else a digest of its title and text) rather
// than by its title: a message the user deleted stays deleted while its item is in the feed, an
// edited title is no new item, and two items with one title both land.
//
// One small file per folder, in a directory of its own beside the settings file (the settings
// path with ".seen" for ".ini"), named after the folder id safely. It is written whole to a
// temporary file and moved into place, so that a crash or a full disk leaves the old record. It
// holds each identity that the feed held within the last kSeenDays days, and at most
// kSeenIdentityCap of them, the most recently seen.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "base/capacities.h"
#include "platform/files.h"

// How long an identity is kept after the feed last held it.
constexpr unsigned kSeenDays = 30;

// The file of a folder's record: false when the path does not fit `capacity`.
[[nodiscard]] bool SeenRecordPath(const char* folderId, char* path, size_t capacity);

// The identity of an item, as the feed wrote it, trimmed: its `guid` when it has one, else its
// link, else "digest:" and a digest of its title and text. Empty when the item has none of them.
std::string ItemIdentity(const char* guid, const char* link, const char* title, const char* text);

class SeenRecord {
public:
    enum class State {
        kRead,        // the record was read: it decides
        kMissing,     // the folder has no record yet: the index decides this once
        kUnreadable,  // the record is corrupt or cannot be read: the index decides, and a new
                      // record is written
    };

    // Takes the record's lock (held across processes until the record goes) and reads it.
    // `now` (seconds since 1970) is when the feed held what is recorded or seen from here on.
    // `writeRoom` is how many bytes its writes may take, as on a disk that is nearly full (a
    // refresh's tests set it); negative: what the disk has.
    SeenRecord(const char* folderId, unsigned now, long writeRoom = -1);
    // Writes the record when it changed, and gives the lock up.
    ~SeenRecord();
    SeenRecord(const SeenRecord&) = delete;
    SeenRecord& operator=(const SeenRecord&) = delete;

    State state() const { return state_; }
    // Whether the identity is recorded; when it is, the feed holds it now.
    bool Holds(const std::string& identity);
    // Records the identity as held by the feed now.
    void Add(const std::string& identity);
    // Writes the record now, pruned; false when it could not be (the old one is then removed, so
    // that the next refresh asks the index rather than an out-of-date record).
    bool Save();
    // Writes it when an item was recorded or seen since it was read or written. A refresh that
    // saw no item writes nothing: a new, empty record would take every item the index holds for
    // new at the next refresh.
    void SaveIfChanged();
    // Why the record was of no help or could not be kept, for the status line; empty when it was.
    const char* trouble() const { return trouble_; }

private:
    bool Read(FILE* file);

    char folderId_[kFolderIdCapacity] = {};
    char path_[kPathCapacity] = {};
    bool havePath_ = false;
    FileLock lock_;
    State state_ = State::kMissing;
    bool changed_ = false;
    unsigned now_ = 0;
    long writeRoom_ = -1;
    const char* trouble_ = "";
    std::unordered_map<std::string, unsigned> seen_;
};
