// Keys removed from a section in one write: the section read whole, the keys taken out, and the
// rest written back as the section's new content. Windows' profile functions offer no other way
// short of one write per key. The Windows side of DeleteProfileKeys (profile.h).
#include "platform/profile.h"

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

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

}  // namespace

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
