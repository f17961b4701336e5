#include "compose/seen_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "base/module.h"
#include "base/status.h"
#include "base/text.h"

namespace {

const char kHeader[] = "Quillfeed seen items 1";
const char kFolderLine[] = "folder ";
const char kEndLine[] = "end ";

// Folder ids are matched as the settings file matches them: ASCII letters without regard to case.
bool SameFolder(const char* a, const char* b) {
    for (; AsciiLower(*a) == AsciiLower(*b); ++a, ++b) {
        if (*a == '\0') {
            return true;
        }
    }
    return false;
}

// A 64-bit FNV-1a digest: the folder's file name and the identity of an item without one.
uint64_t Digest(const char* text, size_t length, uint64_t hash = 0xCBF29CE484222325u,
                bool fold = false) {
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(fold ? AsciiLower(text[i]) : text[i]);
        hash *= 0x100000001B3u;
    }
    return hash;
}

std::string Trimmed(const char* text) {
    if (text == nullptr) {
        return std::string();
    }
    const char* start = text;
    while (*start == ' ' || *start == '\t' || *start == '\r' || *start == '\n') {
        ++start;
    }
    const char* end = start + strlen(start);
    while (end > start &&
           (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n')) {
        --end;
    }
    return std::string(start, static_cast<size_t>(end - start));
}

// An identity on one line of the file: backslash, CR and LF written as escapes.
std::string Escaped(const std::string& identity) {
    std::string out;
    for (char c : identity) {
        out += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    return out;
}

bool Unescaped(const std::string& line, std::string* identity) {
    identity->clear();
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\') {
            *identity += line[i];
            continue;
        }
        if (++i == line.size()) {
            return false;
        }
        const char c = line[i];
        if (c != '\\' && c != 'n' && c != 'r') {
            return false;
        }
        *identity += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    }
    return true;
}

// Writes all of `bytes`, as far as `*room` allows when it is not negative, and counts them off it.
bool WriteAll(FILE* file, const std::string& bytes, long* room) {
    if (*room >= 0 && static_cast<size_t>(*room) < bytes.size()) {
        fwrite(bytes.data(), 1, static_cast<size_t>(*room), file);
        *room = 0;
        return false;
    }
    if (*room >= 0) {
        *room -= static_cast<long>(bytes.size());
    }
    return fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// The directory of the records: the settings file's path with ".seen" for its extension. None
// while the module knows no settings file: the records would land wherever the process runs.
bool RecordDirectory(char* out, size_t capacity) {
    if (SettingsFilePath[0] == '\0' || !CopyText(out, capacity, SettingsFilePath)) {
        return false;
    }
    char* dot = strrchr(out, '.');
    const char* separator = strrchr(out, QF_PATH_SEPARATOR[0]);
    if (dot != nullptr && (separator == nullptr || dot > separator)) {
        *dot = '\0';
    }
    return AppendText(out, capacity, ".seen");
}

}  // namespace

bool SeenRecordPath(const char* folderId, char* path, size_t capacity) {
    // The id's letters, digits, "-" and "_" for a person to recognise (up to 32 of them), and a
    // digest of the whole id without regard to case, which tells the folders apart: no byte of
    // the id can reach another directory or make a name the file system refuses.
    char readable[33];
    size_t used = 0;
    for (const char* at = folderId; *at != '\0' && used + 1 < sizeof readable; ++at) {
        const char c = *at;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        readable[used++] = plain ? AsciiLower(c) : '_';
    }
    readable[used] = '\0';
    char directory[kPathCapacity];
    return RecordDirectory(directory, sizeof directory) &&
           FormatText(path, capacity, "%s" QF_PATH_SEPARATOR "%s-%016llx.ids", directory, readable,
                      static_cast<unsigned long long>(
                          Digest(folderId, strlen(folderId), 0xCBF29CE484222325u, true)));
}

std::string ItemIdentity(const char* guid, const char* link, const char* title, const char* text) {
    std::string identity = Trimmed(guid);
    if (identity.empty()) {
        identity = Trimmed(link);
    }
    if (!identity.empty()) {
        return identity;
    }
    const std::string titleText = Trimmed(title);
    const std::string bodyText = Trimmed(text);
    if (titleText.empty() && bodyText.empty()) {
        return std::string();
    }
    // The title and the text, apart by a byte that neither holds.
    uint64_t hash = Digest(titleText.data(), titleText.size());
    hash = Digest("\x01", 1, hash);
    hash = Digest(bodyText.data(), bodyText.size(), hash);
    char digest[32];
    static_cast<void>(
        FormatText(digest, sizeof digest, "digest:%016llx", static_cast<unsigned long long>(hash)));
    return digest;
}

SeenRecord::SeenRecord(const char* folderId, unsigned now, long writeRoom)
    : now_(now), writeRoom_(writeRoom) {
    static_cast<void>(CopyText(folderId_, sizeof folderId_, folderId));
    char directory[kPathCapacity];
    havePath_ = RecordDirectory(directory, sizeof directory) && MakeDirectory(directory) &&
                SeenRecordPath(folderId, path_, sizeof path_);
    char lockPath[kPathCapacity];
    if (!havePath_ || !FormatText(lockPath, sizeof lockPath, "%s.lock", path_) ||
        !AcquireFileLock(lockPath, &lock_)) {
        havePath_ = false;
        state_ = State::kUnreadable;
        trouble_ = "seen items not kept";
        Trace("record of %s: no place for it (%s)", folderId_, path_);
        return;
    }
    FILE* file = fopen(path_, "rb");
    if (file == nullptr) {
        state_ = PathExists(path_) ? State::kUnreadable : State::kMissing;
    } else {
        state_ = Read(file) ? State::kRead : State::kUnreadable;
        fclose(file);
    }
    if (state_ == State::kUnreadable) {
        seen_.clear();
        trouble_ = "seen items unreadable, the index checked";
        Trace("record of %s: cannot be read (%s); the index decides", folderId_, path_);
    }
}

SeenRecord::~SeenRecord() {
    SaveIfChanged();
    ReleaseFileLock(&lock_);
}

void SeenRecord::SaveIfChanged() {
    if (changed_) {
        static_cast<void>(Save());
    }
}

bool SeenRecord::Read(FILE* file) {
    std::string text;
    char chunk[kIndexReadCapacity];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    if (ferror(file)) {
        return false;
    }
    // Every line ends in LF, the last one included: a record cut short has no end line.
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            return false;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() < 3 || lines[0] != kHeader ||
        lines[1].compare(0, sizeof kFolderLine - 1, kFolderLine) != 0 ||
        !SameFolder(lines[1].c_str() + sizeof kFolderLine - 1, folderId_) ||
        lines.back().compare(0, sizeof kEndLine - 1, kEndLine) != 0) {
        return false;
    }
    const size_t count = lines.size() - 3;
    if (lines.back() != kEndLine + std::to_string(count)) {
        return false;
    }
    for (size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t space = line.find(' ');
        if (space == 0 || space == std::string::npos) {
            return false;
        }
        uint64_t seen = 0;
        for (size_t k = 0; k < space; ++k) {
            if (line[k] < '0' || line[k] > '9') {
                return false;
            }
            seen = seen * 10 + static_cast<unsigned>(line[k] - '0');
            if (seen > 0xFFFFFFFFu) {
                return false;
            }
        }
        std::string identity;
        if (!Unescaped(line.substr(space + 1), &identity) || identity.empty()) {
            return false;
        }
        seen_[identity] = static_cast<unsigned>(seen);
    }
    return true;
}

bool SeenRecord::Holds(const std::string& identity) {
    auto found = seen_.find(identity);
    if (found == seen_.end()) {
        return false;
    }
    if (found->second != now_) {
        found->second = now_;
        changed_ = true;
    }
    return true;
}

void SeenRecord::Add(const std::string& identity) {
    seen_[identity] = now_;
    changed_ = true;
}

bool SeenRecord::Save() {
    if (!havePath_) {
        return false;
    }
    // What the feed has not held for kSeenDays goes, and beyond the cap the longest unseen.
    std::vector<std::pair<unsigned, const std::string*>> kept;
    const unsigned limit = kSeenDays * 24u * 3600u;
    for (const auto& entry : seen_) {
        if (now_ - entry.second <= limit) {
            kept.push_back({entry.second, &entry.first});
        }
    }
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : *a.second < *b.second;
    });
    if (kept.size() > kSeenIdentityCap) {
        kept.resize(kSeenIdentityCap);
    }
    std::string text = std::string(kHeader) + "\n" + kFolderLine + folderId_ + "\n";
    for (const auto& entry : kept) {
        text += std::to_string(entry.first) + " " + Escaped(*entry.second) + "\n";
    }
    text += kEndLine + std::to_string(kept.size()) + "\n";

    char temporary[kPathCapacity];
    bool saved = FormatText(temporary, sizeof temporary, "%s.new", path_);
    FILE* file = saved ? fopen(temporary, "wb") : nullptr;
    saved = file != nullptr && WriteAll(file, text, &writeRoom_);
    saved = file != nullptr && fflush(file) == 0 && saved;
    saved = file != nullptr && fclose(file) == 0 && saved;
    saved = saved && PutFileInPlace(temporary, path_);
    if (!saved) {
        RemoveFile(temporary);
        // An old record would not know what this refresh appended, which would come again: with
        // none, the next refresh asks the index.
        RemoveFile(path_);
        trouble_ = "seen items not kept";
        Trace("record of %s: cannot be written (%s)", folderId_, path_);
        changed_ = false;
        return false;
    }
    changed_ = false;
    return true;
}
