// The settings store over the system's profile functions: the Windows side of profile.h.
#include "platform/profile.h"

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform.h"

namespace {

// The most a section is read to: far beyond any settings file of this plug-in.
constexpr size_t kSectionLimit = 64u * 1024u * 1024u;

std::string Lower(const char* text, size_t length) {
    std::string lower(text, length);
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lower;
}

// A line's key, as the profile functions compare it: before the first "=", without blanks around.
std::string KeyOf(const char* line) {
    const char* equals = strchr(line, '=');
    size_t length = equals != nullptr ? static_cast<size_t>(equals - line) : strlen(line);
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t')) {
        --length;
    }
    size_t start = 0;
    while (start < length && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return Lower(line + start, length - start);
}

// A default no stored value can be: the store never writes a control character.
constexpr char kAbsent[] = "\x01";

}  // namespace

bool ReadProfileValue(const char* fileName, const char* section, const char* key, char* out,
                      size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    GetPrivateProfileStringA(section, key, kAbsent, out, static_cast<DWORD>(capacity), fileName);
    if (strcmp(out, kAbsent) == 0) {
        out[0] = '\0';
        return false;
    }
    return true;
}

unsigned ReadProfileNumber(const char* fileName, const char* section, const char* key) {
    return GetPrivateProfileIntA(section, key, 0, fileName);
}

bool WriteProfileValue(const char* fileName, const char* section, const char* key,
                       const char* value) {
    return value != nullptr && WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}

bool DeleteProfileKey(const char* fileName, const char* section, const char* key) {
    return WritePrivateProfileStringA(section, key, nullptr, fileName) != FALSE;
}

size_t ListProfileKeys(const char* fileName, const char* section, char* out, size_t capacity) {
    if (capacity < 2) {
        if (capacity == 1) {
            out[0] = '\0';
        }
        return 0;
    }
    out[0] = '\0';
    out[1] = '\0';
    const size_t count =
        GetPrivateProfileStringA(section, nullptr, "", out, static_cast<DWORD>(capacity), fileName);
    // A cut list ends in two terminators. Wine's ANSI profile function writes only the first of
    // them and leaves the last byte as it was, so the second is put in place here.
    if (count + 2 == capacity) {
        out[capacity - 1] = '\0';
    }
    return count;
}

// Keys removed from a section in one write: the section read whole, the keys taken out, and the
// rest written back as the section's new content. The profile functions offer no other way short
// of one write per key.
bool DeleteProfileKeys(const char* fileName, const char* section, const char* const* keys,
                       size_t count) {
    if (count == 0) {
        return true;
    }
    // The section's lines, each terminated, and one more terminator; a buffer that was too
    // small comes back filled to its size less two.
    std::vector<char> lines(64 * 1024);
    DWORD got = GetPrivateProfileSectionA(section, lines.data(), static_cast<DWORD>(lines.size()),
                                          fileName);
    while (got + 2 >= lines.size()) {
        if (lines.size() * 2 > kSectionLimit) {
            return false;
        }
        lines.assign(lines.size() * 2, '\0');
        got = GetPrivateProfileSectionA(section, lines.data(), static_cast<DWORD>(lines.size()),
                                        fileName);
    }
    std::unordered_set<std::string> removed;
    for (size_t i = 0; i < count; ++i) {
        removed.insert(KeyOf(keys[i]));
    }
    std::vector<char> kept;
    kept.reserve(got + 2);
    bool changed = false;
    for (const char* line = lines.data(); *line != '\0'; line += strlen(line) + 1) {
        if (removed.count(KeyOf(line)) != 0 && strchr(line, '=') != nullptr) {
            changed = true;
            continue;
        }
        kept.insert(kept.end(), line, line + strlen(line) + 1);
    }
    if (!changed) {
        return true;
    }
    kept.push_back('\0');
    kept.push_back('\0');
    return WritePrivateProfileSectionA(section, kept.data(), fileName) != FALSE;
}
