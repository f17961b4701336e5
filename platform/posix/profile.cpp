// The settings store on an INI file, as the Windows side reads and writes the same files: sections
// and keys matched without regard to (ASCII) case, white space around names and values dropped, a
// value in matching quotes read without them, and the key list laid out and cut as Windows lays
// it out. The POSIX side of profile.h.
//
// The file is read once and kept while it stays the same file with the same size and time of last
// write (another process's write shows in those); a write changes what is kept and replaces the
// file whole through a renamed temporary file, so a reader elsewhere sees either the old or the
// new file, never half of one. A pass over thousands of folders so costs one reading, not one a
// value.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform.h"
#include "platform/profile.h"

namespace {

struct Line {
    std::string key;    // empty for blank and comment lines
    std::string value;  // the value, or the whole line for blank and comment lines
    bool isEntry;       // a key line, with or without "="
    bool hasValue;
};

struct Section {
    std::string name;  // empty for the lines before the first section header
    std::vector<Line> lines;
    // Where each key's first entry is, by the key in lower case: a pass over thousands of folders
    // looks up thousands of keys. Built when first needed, dropped when lines go.
    std::unordered_map<std::string, size_t> keys;
    bool indexed = false;
};

typedef std::vector<Section> Profile;

std::mutex g_profileLock;

// The one file kept in memory, and what told it apart when it was read.
struct CachedProfile {
    std::string fileName;
    bool valid = false;
    struct stat facts;
    Profile profile;
};
CachedProfile g_cache;

bool SameFacts(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

int AsInt(DWORD size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

Profile Load(const char* fileName) {
    Profile profile(1);
    FILE* file = fopen(fileName, "rb");
    if (file == nullptr) {
        return profile;
    }
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    fclose(file);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        // As Windows reads it, a line is a section header only when its "[" is closed; a key
        // that begins with "[" stays a key.
        const size_t close = line.find(']');
        if (!line.empty() && line[0] == '[' && close != std::string::npos) {
            Section section;
            section.name = Trim(line.substr(1, close - 1));
            profile.push_back(section);
            continue;
        }
        Line entry = {std::string(), line, false, false};
        if (!line.empty() && line[0] != ';') {
            size_t equals = line.find('=');
            entry.isEntry = true;
            entry.key = Trim(line.substr(0, equals));
            entry.hasValue = equals != std::string::npos;
            entry.value = entry.hasValue ? Trim(line.substr(equals + 1)) : std::string();
        }
        profile.back().lines.push_back(entry);
    }
    return profile;
}

bool Save(const char* fileName, const Profile& profile) {
    std::string text;
    for (const Section& section : profile) {
        if (&section != &profile.front()) {
            text += "[" + section.name + "]\r\n";
        }
        for (const Line& line : section.lines) {
            if (!line.isEntry) {
                text += line.value + "\r\n";
            } else if (line.hasValue) {
                text += line.key + "=" + line.value + "\r\n";
            } else {
                text += line.key + "\r\n";
            }
        }
    }
    std::string temporary = std::string(fileName) + ".new";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    written = fclose(file) == 0 && written;
    if (!written || rename(temporary.c_str(), fileName) != 0) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}

// The file's profile as kept, read again when the file is new or changed. The caller holds
// g_profileLock.
Profile& Cached(const char* fileName) {
    struct stat facts;
    const bool exists = stat(fileName, &facts) == 0;
    if (!g_cache.valid || g_cache.fileName != fileName || !exists ||
        !SameFacts(facts, g_cache.facts)) {
        g_cache.profile = Load(fileName);
        g_cache.fileName = fileName;
        g_cache.valid = exists;
        if (exists) {
            g_cache.facts = facts;
        }
    }
    return g_cache.profile;
}

// Writes the kept profile to its file, and keeps the facts of what was written.
bool SaveCached(const char* fileName) {
    const bool saved = Save(fileName, g_cache.profile);
    struct stat facts;
    g_cache.valid = saved && stat(fileName, &facts) == 0;
    if (g_cache.valid) {
        g_cache.facts = facts;
    }
    return saved;
}

Section* FindSection(Profile& profile, const char* name) {
    for (size_t i = 1; i < profile.size(); ++i) {
        if (SameName(profile[i].name, name)) {
            return &profile[i];
        }
    }
    return nullptr;
}

// A key as the index holds it: ASCII letters in lower case, as SameName compares them.
std::string IndexKey(const std::string& key) {
    std::string lower = key;
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lower;
}

Line* FindEntry(Section* section, const char* key) {
    if (section == nullptr) {
        return nullptr;
    }
    if (!section->indexed) {
        section->keys.clear();
        for (size_t i = 0; i < section->lines.size(); ++i) {
            if (section->lines[i].isEntry) {
                // The first of two equal keys is the one read, as Windows reads it.
                section->keys.emplace(IndexKey(section->lines[i].key), i);
            }
        }
        section->indexed = true;
    }
    // Keys are stored without their surrounding blanks, and looked up so too.
    const auto found = section->keys.find(IndexKey(Trim(key)));
    return found != section->keys.end() ? &section->lines[found->second] : nullptr;
}

// The key list: every name followed by its terminator, then one more terminator. When the names
// do not fit, the last one is cut and followed by two terminators, and the count is size - 2.
DWORD ListKeys(const Section* section, char* out, DWORD size) {
    if (size < 2) {
        if (size == 1) {
            out[0] = '\0';
        }
        return 0;
    }
    if (section == nullptr) {
        out[0] = '\0';
        out[1] = '\0';
        return 0;
    }
    DWORD left = size;
    char* at = out;
    for (const Line& line : section->lines) {
        if (left <= 2) {
            break;
        }
        if (!line.isEntry) {
            continue;
        }
        lstrcpynA(at, line.key.c_str(), AsInt(left - 1));
        size_t used = strlen(at) + 1;
        left -= static_cast<DWORD>(used);
        at += used;
    }
    *at = '\0';
    if (left <= 1) {
        at[-1] = '\0';
        return size - 2;
    }
    return size - left;
}

}  // namespace

namespace {

// The value of `key`, whole, into `value`; false when the key is absent.
bool ReadValue(const char* section, const char* key, const char* fileName, std::string* value) {
    std::lock_guard<std::mutex> hold(g_profileLock);
    Profile& profile = Cached(fileName);
    Line* entry = FindEntry(FindSection(profile, section), key);
    if (entry == nullptr || !entry->hasValue) {
        return false;
    }
    *value = entry->value;
    // A value written in matching quotes is read without them.
    if (value->size() >= 2 && ((*value)[0] == '"' || (*value)[0] == '\'') &&
        value->back() == (*value)[0]) {
        *value = value->substr(1, value->size() - 2);
    }
    return true;
}

}  // namespace

bool ReadProfileValue(const char* fileName, const char* section, const char* key, char* out,
                      size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    if (fileName == nullptr || section == nullptr || key == nullptr) {
        return false;
    }
    std::string value;
    if (!ReadValue(section, key, fileName, &value)) {
        return false;
    }
    lstrcpynA(out, value.c_str(),
              AsInt(capacity < UINT_MAX ? static_cast<DWORD>(capacity) : UINT_MAX));
    return true;
}

unsigned ReadProfileNumber(const char* fileName, const char* section, const char* key) {
    std::string text;
    if (fileName == nullptr || section == nullptr || key == nullptr ||
        !ReadValue(section, key, fileName, &text)) {
        return 0;
    }
    // The number the text begins with: white space, an optional sign and decimal digits, summed
    // in unsigned 32-bit arithmetic as Windows does, so that ten-digit times read back whole.
    const char* at = text.c_str();
    while (*at == ' ' || *at == '\t') {
        ++at;
    }
    const bool negative = *at == '-';
    if (*at == '-' || *at == '+') {
        ++at;
    }
    unsigned number = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        number = number * 10u + static_cast<unsigned>(*at - '0');
    }
    return negative ? 0u - number : number;
}

bool WriteProfileValue(const char* fileName, const char* section, const char* key,
                       const char* value) {
    if (fileName == nullptr || section == nullptr || key == nullptr || value == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> hold(g_profileLock);
    Profile& profile = Cached(fileName);
    Section* found = FindSection(profile, section);
    Line* entry = FindEntry(found, key);
    std::string trimmed = Trim(value);
    if (entry != nullptr) {
        entry->value = trimmed;
        entry->hasValue = true;
    } else {
        if (found == nullptr) {
            Section added;
            added.name = section;
            profile.push_back(added);
            found = &profile.back();
        }
        found->lines.push_back(Line{Trim(key), trimmed, true, true});
        if (found->indexed) {
            found->keys.emplace(IndexKey(found->lines.back().key), found->lines.size() - 1);
        }
    }
    return SaveCached(fileName);
}

bool DeleteProfileKey(const char* fileName, const char* section, const char* key) {
    return key != nullptr && DeleteProfileKeys(fileName, section, &key, 1);
}

size_t ListProfileKeys(const char* fileName, const char* section, char* out, size_t capacity) {
    if (fileName == nullptr || section == nullptr) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(g_profileLock);
    return ListKeys(FindSection(Cached(fileName), section), out,
                    capacity < UINT_MAX ? static_cast<DWORD>(capacity) : UINT_MAX);
}

bool DeleteProfileKeys(const char* fileName, const char* section, const char* const* keys,
                       size_t count) {
    if (fileName == nullptr || section == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> hold(g_profileLock);
    Profile& profile = Cached(fileName);
    Section* found = FindSection(profile, section);
    if (found == nullptr || count == 0) {
        return true;
    }
    std::unordered_set<std::string> removed;
    for (size_t i = 0; i < count; ++i) {
        removed.insert(IndexKey(Trim(keys[i])));
    }
    const size_t before = found->lines.size();
    found->lines.erase(std::remove_if(found->lines.begin(), found->lines.end(),
                                      [&removed](const Line& line) {
                                          return line.isEntry &&
                                                 removed.count(IndexKey(line.key)) != 0;
                                      }),
                       found->lines.end());
    if (found->lines.size() == before) {
        return true;
    }
    found->indexed = false;
    return SaveCached(fileName);
}
