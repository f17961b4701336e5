// The stand-in host's mail store. Several plug-in workers, and several pellix processes sharing
// one data folder, may append to one folder at once: every append holds the folder's lock file
// (Folder.lock) for the number, the message file and the index line.
//
// An append stores the message whole, then its index line whole, and reports success only when
// both are on the disk; when either cannot be written (a full disk, say) it leaves neither behind,
// so that an item never counts as present without its message and the next index line is never
// glued to a torn one.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/files.h"
#include "standin/host.h"

namespace pellix {
namespace {

const char kIndexHeader[] = "Pellix folder index 1\r\n";
const char kFieldSeparator = '\x01';
// How much of the index's end is read to find its last message number.
constexpr long kIndexTail = 4096;

// Keeps the threads of this process apart; the lock file keeps processes apart.
std::mutex g_storeLock;

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::string IndexPath(const std::string& folder) {
    return folder + QF_PATH_SEPARATOR + "Folder.idx";
}

// A header value of the message, as the index shows it: its folded lines joined and decoded
// (DecodeHeaderValue), without the separator byte.
std::string HeaderValue(const std::string& message, const char* name) {
    // The name, a colon and the value, with or without blanks after the colon.
    std::string prefix = std::string("\n") + name + ":";
    std::string text = "\n" + message;
    size_t headerEnd = text.find("\r\n\r\n");
    size_t at = text.find(prefix);
    if (at == std::string::npos || (headerEnd != std::string::npos && at > headerEnd)) {
        return std::string();
    }
    at = text.find_first_not_of(" \t", at + prefix.size());
    if (at == std::string::npos) {
        return std::string();
    }
    // The value runs on over the lines that begin with a blank: a line break before a blank is
    // only folding.
    std::string raw;
    for (;;) {
        const size_t end = text.find_first_of("\r\n", at);
        raw += text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (end == std::string::npos) {
            break;
        }
        size_t next = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (next >= text.size() || (text[next] != ' ' && text[next] != '\t')) {
            break;
        }
        at = next;
    }
    std::string value = DecodeHeaderValue(raw);
    for (char& c : value) {
        if (c == kFieldSeparator) {
            c = ' ';
        }
    }
    return value;
}

// Writes all of `bytes` to `file` and flushes them, as far as the disk has room: with
// --disk-room, the store acts as a disk that has only that many bytes left, and writes what fits
// before it fails, as a full disk does; `*full` is then set.
bool WriteAll(FILE* file, const std::string& bytes, bool* full) {
    size_t allowed = bytes.size();
    int& room = State().diskRoom;
    if (room >= 0 && static_cast<size_t>(room) < allowed) {
        allowed = static_cast<size_t>(room);
        *full = true;
    }
    const bool written = fwrite(bytes.data(), 1, allowed, file) == allowed;
    if (room >= 0) {
        room -= static_cast<int>(allowed);
    }
    return written && allowed == bytes.size() && fflush(file) == 0;
}

// The number of the last line of `text` that begins with a number and the separator; 0 when none
// does.
int LastNumber(const std::string& text) {
    size_t end = text.size();
    while (end > 0) {
        size_t lineEnd = text.find_last_not_of("\r\n", end - 1);
        if (lineEnd == std::string::npos) {
            break;
        }
        size_t lineStart = text.find_last_of('\n', lineEnd);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        int number = 0;
        size_t at = lineStart;
        for (; at <= lineEnd && text[at] >= '0' && text[at] <= '9' && number < 100000000; ++at) {
            number = number * 10 + (text[at] - '0');
        }
        if (at > lineStart && at <= lineEnd && text[at] == kFieldSeparator) {
            return number;
        }
        end = lineStart;
    }
    return 0;
}

// The number after the last message the index lists; 1 for an index without messages. Mostly
// only the index's end is read, so an append costs the same however many messages the folder
// holds; an end without a numbered line (a long hand-edited one) has the whole index read.
// `endsLine` tells whether the index ends with a line end, as every line the store writes does;
// `empty` whether it has no byte at all, not even its header line.
int NextNumber(const std::string& index, bool* endsLine, bool* empty) {
    *endsLine = true;
    *empty = true;
    FILE* file = fopen(index.c_str(), "rb");
    if (file == nullptr) {
        return 1;
    }
    std::string tail;
    long size = 0;
    if (fseek(file, 0, SEEK_END) == 0) {
        size = ftell(file);
        long start = size > kIndexTail ? size - kIndexTail : 0;
        if (fseek(file, start, SEEK_SET) == 0) {
            char chunk[kIndexTail];
            size_t got = fread(chunk, 1, sizeof chunk, file);
            tail.assign(chunk, got);
        }
    }
    *empty = size == 0;
    *endsLine = tail.empty() || tail.back() == '\n';
    int number = LastNumber(tail);
    if (number == 0 && size > kIndexTail && fseek(file, 0, SEEK_SET) == 0) {
        std::string whole;
        char chunk[kIndexTail];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
            whole.append(chunk, got);
        }
        number = LastNumber(whole);
    }
    fclose(file);
    return number + 1;
}

// Holds the folder's lock file for one append.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : held_(AcquireFileLock((folder + QF_PATH_SEPARATOR + "Folder.lock").c_str(), &lock_)) {}
    ~FolderLock() { ReleaseFileLock(&lock_); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return held_; }

private:
    FileLock lock_;
    bool held_;
};

}  // namespace

std::string FolderPath(const std::string& folderId) {
    return State().dataFolder + QF_PATH_SEPARATOR + folderId;
}

bool MakeFolder(const std::string& folderId) {
    std::lock_guard<std::mutex> hold(g_storeLock);
    // Every level of the id is made, as the host makes nested folders.
    std::string path = FolderPath(folderId);
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!std::filesystem::is_directory(path, error)) {
        return false;
    }
    std::string index = IndexPath(path);
    if (!Exists(index)) {
        std::ofstream out(index, std::ios::binary);
        out << kIndexHeader;
        return static_cast<bool>(out);
    }
    return true;
}

bool AppendToFolder(const std::string& folderId, const char* message, bool* diskFull) {
    bool full = false;
    if (diskFull != nullptr) {
        *diskFull = false;
    }
    std::lock_guard<std::mutex> hold(g_storeLock);
    std::string folder = FolderPath(folderId);
    std::string index = IndexPath(folder);
    if (!Exists(index)) {
        return false;
    }
    FolderLock lock(folder);
    if (!lock.held()) {
        return false;
    }
    bool endsLine = true;
    bool empty = true;
    int number = NextNumber(index, &endsLine, &empty);
    // A message file is never written over, whatever the index says.
    while (Exists(folder + QF_PATH_SEPARATOR + std::to_string(number) + ".msg")) {
        ++number;
    }
    const std::string file = folder + QF_PATH_SEPARATOR + std::to_string(number) + ".msg";
    const std::string text = message ? message : "";

    FILE* out = fopen(file.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    bool stored = WriteAll(out, text, &full);
    stored = fclose(out) == 0 && stored;
    if (!stored) {
        remove(file.c_str());
        if (diskFull != nullptr) {
            *diskFull = full;
        }
        return false;
    }

    std::error_code error;
    const auto indexSize = std::filesystem::file_size(index, error);
    // A hand-edited index may end inside a line; the new one starts on a line of its own.
    // An index without even its header line gets it first: every reader skips the first line.
    const std::string line =
        std::string(empty ? kIndexHeader : "") + std::string(endsLine ? "" : "\r\n") +
        std::to_string(number) + kFieldSeparator + HeaderValue(text, "Date") + kFieldSeparator +
        HeaderValue(text, "From") + kFieldSeparator + HeaderValue(text, "Subject") + "\r\n";
    FILE* indexFile = error ? nullptr : fopen(index.c_str(), "ab");
    bool indexed = indexFile != nullptr && WriteAll(indexFile, line, &full);
    indexed = indexFile != nullptr && fclose(indexFile) == 0 && indexed;
    if (!indexed) {
        // Neither a torn line nor a message the index does not list stays behind.
        if (!error) {
            std::filesystem::resize_file(index, indexSize, error);
        }
        remove(file.c_str());
        if (diskFull != nullptr) {
            *diskFull = full;
        }
        return false;
    }
    return true;
}

bool ReadIndex(const std::string& folderId, std::vector<IndexEntry>* entries) {
    std::lock_guard<std::mutex> hold(g_storeLock);
    std::ifstream in(IndexPath(FolderPath(folderId)), std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        IndexEntry entry;
        std::string* fields[] = {&entry.number, &entry.date, &entry.sender, &entry.subject};
        std::istringstream split(line);
        for (std::string* field : fields) {
            std::getline(split, *field, kFieldSeparator);
        }
        entries->push_back(entry);
    }
    return true;
}

bool ReadMessage(const std::string& folderId, const std::string& number, std::string* text) {
    std::lock_guard<std::mutex> hold(g_storeLock);
    std::ifstream in(FolderPath(folderId) + QF_PATH_SEPARATOR + number + ".msg", std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return true;
}

}  // namespace pellix
