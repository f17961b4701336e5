// The host's reading of encoded header values (host.h says the rule).
#include <cstring>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "standin/host.h"

namespace pellix {
namespace {

int Base64Value(char c) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = c != '\0' ? strchr(digits, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - digits) : -1;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

bool SameWord(const std::string& a, const char* b) {
    if (a.size() != strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if ((a[i] | 0x20) != (b[i] | 0x20)) {
            return false;
        }
    }
    return true;
}

// The encoded-word at `at` ("=?charset?encoding?text?="), decoded into `out`; false when there is
// none there, or it is in a charset the host does not read. `length` gets its length.
bool DecodeWord(const std::string& raw, size_t at, std::string* out, size_t* length) {
    if (raw.compare(at, 2, "=?") != 0) {
        return false;
    }
    const size_t charsetEnd = raw.find('?', at + 2);
    if (charsetEnd == std::string::npos || charsetEnd + 2 >= raw.size() ||
        raw[charsetEnd + 2] != '?') {
        return false;
    }
    const size_t textEnd = raw.find("?=", charsetEnd + 3);
    if (textEnd == std::string::npos) {
        return false;
    }
    const std::string charset = raw.substr(at + 2, charsetEnd - at - 2);
    if (!SameWord(charset, "utf-8")) {
        return false;
    }
    const char encoding = static_cast<char>(raw[charsetEnd + 1] | 0x20);
    const std::string text = raw.substr(charsetEnd + 3, textEnd - charsetEnd - 3);
    std::string decoded;
    if (encoding == 'b') {
        unsigned bits = 0;
        int count = 0;
        for (char c : text) {
            const int value = Base64Value(c);
            if (value < 0) {
                continue;  // padding
            }
            bits = bits << 6 | static_cast<unsigned>(value);
            if (++count == 4) {
                decoded += static_cast<char>(bits >> 16 & 0xFF);
                decoded += static_cast<char>(bits >> 8 & 0xFF);
                decoded += static_cast<char>(bits & 0xFF);
                bits = 0;
                count = 0;
            }
        }
        if (count == 3) {
            decoded += static_cast<char>(bits >> 10 & 0xFF);
            decoded += static_cast<char>(bits >> 2 & 0xFF);
        } else if (count == 2) {
            decoded += static_cast<char>(bits >> 4 & 0xFF);
        }
    } else if (encoding == 'q') {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '_') {
                decoded += ' ';
            } else if (text[i] == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                       HexValue(text[i + 2]) >= 0) {
                decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
                i += 2;
            } else {
                decoded += text[i];
            }
        }
    } else {
        return false;
    }
    *out += decoded;
    *length = textEnd + 2 - at;
    return true;
}

// UTF-8 in the host's code page.
std::string ToAnsi(const std::string& utf8) {
    std::vector<char> ansi(utf8.size() + 1);
    return Utf8ToAnsi(utf8.data(), utf8.size(), ansi.data(), ansi.size()) ? ansi.data()
                                                                          : std::string();
}

}  // namespace

std::string DecodeHeaderValue(const std::string& raw) {
    std::string value;
    std::string words;  // the UTF-8 of a run of adjacent encoded-words
    for (size_t at = 0; at < raw.size();) {
        size_t length = 0;
        if (DecodeWord(raw, at, &words, &length)) {
            at += length;
            continue;
        }
        if (!words.empty() && (raw[at] == ' ' || raw[at] == '\t')) {
            // Blanks between two words are dropped; kept when no word follows.
            const size_t end = raw.find_first_not_of(" \t", at);
            size_t next = 0;
            std::string probe;
            if (end != std::string::npos && DecodeWord(raw, end, &probe, &next)) {
                at = end;
                continue;
            }
        }
        if (!words.empty()) {
            value += ToAnsi(words);
            words.clear();
        }
        value += raw[at++];
    }
    if (!words.empty()) {
        value += ToAnsi(words);
    }
    return value;
}

}  // namespace pellix
