#include "base/login_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "base/module.h"
#include "base/status.h"
#include "base/text.h"
#include "base/url.h"
#include "platform/codepage.h"
#include "platform/protected_data.h"

const char kProxyLoginKey[] = "";

Login::~Login() {
    WipeBytes(password, sizeof password);
    WipeBytes(user, sizeof user);
}

Login::Login(const Login& other) {
    *this = other;
}

Login& Login::operator=(const Login& other) {
    if (this != &other) {
        memcpy(user, other.user, sizeof user);
        memcpy(password, other.password, sizeof password);
        memcpy(host, other.host, sizeof host);
    }
    return *this;
}

namespace {

// The first line of the file, which tells it from any other.
const char kFileMark[] = "Quillfeed logins 1";
// How a key is written when it is empty (the proxy's): never a folder id in hexadecimal.
const char kEmptyKey[] = "-";

// Read, changed and written whole under one lock: two folders' dialogs or refreshes that change
// logins at once keep both.
std::mutex g_loginFileLock;

enum class FileRead { kAbsent, kRead, kUnreadable };

// The whole file, without its first line.
FileRead ReadLines(std::string* lines) {
    lines->clear();
    char path[kSettingsPathCapacity + 16];
    if (!LoginFilePath(path, sizeof path)) {
        return FileRead::kUnreadable;
    }
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT ? FileRead::kAbsent : FileRead::kUnreadable;
    }
    std::string text;
    char piece[4096];
    size_t got;
    while ((got = fread(piece, 1, sizeof piece, file)) > 0 && text.size() <= kLoginFileLimit) {
        text.append(piece, got);
    }
    const bool failed = ferror(file) != 0;
    fclose(file);
    WipeBytes(piece, sizeof piece);
    const size_t markEnd = strlen(kFileMark);
    if (failed || text.size() > kLoginFileLimit || text.compare(0, markEnd, kFileMark) != 0 ||
        (text.size() > markEnd && text[markEnd] != '\n')) {
        return FileRead::kUnreadable;
    }
    lines->assign(text, text.size() > markEnd ? markEnd + 1 : markEnd, std::string::npos);
    return FileRead::kRead;
}

bool WriteLines(const std::string& lines) {
    char path[kSettingsPathCapacity + 16];
    const std::string text = std::string(kFileMark) + "\n" + lines;
    return LoginFilePath(path, sizeof path) && WritePrivateFile(path, text.data(), text.size());
}

// The key as the file writes it.
bool KeyText(const char* key, char* out, size_t capacity) {
    return key[0] == '\0' ? CopyText(out, capacity, kEmptyKey)
                          : EncodeHex(key, strlen(key), out, capacity);
}

// Where the line of `key` ("KEY HOST SECRET\n") begins in `lines`, and its length; false when
// there is none.
bool FindLine(const std::string& lines, const char* keyText, size_t* at, size_t* length) {
    const size_t keyLength = strlen(keyText);
    for (size_t start = 0; start < lines.size();) {
        size_t end = lines.find('\n', start);
        end = end == std::string::npos ? lines.size() : end + 1;
        if (lines.compare(start, keyLength, keyText) == 0 && start + keyLength < end &&
            lines[start + keyLength] == ' ') {
            *at = start;
            *length = end - start;
            return true;
        }
        start = end;
    }
    return false;
}

// The user name and password, apart by a zero byte, as they are protected together.
bool Unseal(const char* hex, size_t length, Login* login) {
    unsigned char sealed[kProtectedLoginCapacity];
    char secret[kLoginNameCapacity + kLoginPasswordCapacity];
    size_t sealedLength = 0;
    size_t secretLength = 0;
    bool read = DecodeHex(hex, length, sealed, sizeof sealed, &sealedLength) &&
                UnprotectSecret(sealed, sealedLength, secret, sizeof secret, &secretLength);
    const char* split =
        read ? static_cast<const char*>(memchr(secret, '\0', secretLength)) : nullptr;
    read = split != nullptr;
    if (read) {
        const size_t userLength = static_cast<size_t>(split - secret);
        const size_t passwordLength = secretLength - userLength - 1;
        read = userLength < sizeof login->user && passwordLength < sizeof login->password;
        if (read) {
            memcpy(login->user, secret, userLength);
            login->user[userLength] = '\0';
            memcpy(login->password, split + 1, passwordLength);
            login->password[passwordLength] = '\0';
        }
    }
    WipeBytes(secret, sizeof secret);
    return read;
}

bool Seal(const Login& login, char* hex, size_t capacity) {
    char secret[kLoginNameCapacity + kLoginPasswordCapacity];
    unsigned char sealed[kProtectedLoginCapacity];
    const size_t userLength = strlen(login.user);
    const size_t passwordLength = strlen(login.password);
    memcpy(secret, login.user, userLength + 1);
    memcpy(secret + userLength + 1, login.password, passwordLength);
    size_t sealedLength = 0;
    const bool sealedWhole = ProtectSecret(secret, userLength + 1 + passwordLength, sealed,
                                           sizeof sealed, &sealedLength) &&
                             EncodeHex(sealed, sealedLength, hex, capacity);
    WipeBytes(secret, sizeof secret);
    return sealedWhole;
}

// A login's host may be written on its line: a host name of letters, digits, dots, hyphens and
// an IPv6 address's colons.
bool IsHostText(const char* host) {
    if (host[0] == '\0') {
        return false;
    }
    for (const char* at = host; *at != '\0'; ++at) {
        if (!(IsAsciiLetter(*at) || IsAsciiDigit(*at) || strchr(".-:_", *at) != nullptr)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool LoginFilePath(char* out, size_t capacity) {
    TextWriter path(out, capacity);
    const char* dot = strrchr(SettingsFilePath, '.');
    const size_t stem = dot != nullptr && strpbrk(dot, "/\\") == nullptr
                            ? static_cast<size_t>(dot - SettingsFilePath)
                            : strlen(SettingsFilePath);
    return SettingsFilePath[0] != '\0' && path.Put(SettingsFilePath, stem) && path.Put(".logins");
}

bool AddressHost(const char* typed, char* out, size_t capacity) {
    char utf8[kUrlCapacity];
    char absolute[kUrlCapacity + 8];
    char wire[kUrlCapacity + 8];
    return typed != nullptr && AnsiToUtf8(typed, utf8, sizeof utf8) &&
           AbsoluteFeedUrl(utf8, absolute, sizeof absolute) &&
           AsciiUrl(absolute, wire, sizeof wire) && FeedHost(wire, out, capacity);
}

LoginFound ReadLogin(const char* key, Login* login) {
    *login = Login();
    char keyText[2 * kFolderIdCapacity];
    if (!KeyText(key, keyText, sizeof keyText)) {
        return LoginFound::kNone;  // no key this long was ever written
    }
    std::lock_guard<std::mutex> hold(g_loginFileLock);
    std::string lines;
    const FileRead read = ReadLines(&lines);
    if (read != FileRead::kRead) {
        return read == FileRead::kAbsent ? LoginFound::kNone : LoginFound::kUnreadable;
    }
    size_t at = 0;
    size_t length = 0;
    if (!FindLine(lines, keyText, &at, &length)) {
        WipeBytes(&lines[0], lines.size());
        return LoginFound::kNone;
    }
    // KEY HOST SECRET
    const std::string line = lines.substr(at, length);
    WipeBytes(&lines[0], lines.size());
    const size_t hostAt = strlen(keyText) + 1;
    const size_t hostEnd = line.find(' ', hostAt);
    size_t secretEnd = line.size();
    while (secretEnd > 0 && (line[secretEnd - 1] == '\n' || line[secretEnd - 1] == '\r')) {
        --secretEnd;
    }
    const bool found = hostEnd != std::string::npos && hostEnd - hostAt < sizeof login->host &&
                       Unseal(line.data() + hostEnd + 1, secretEnd - hostEnd - 1, login);
    if (found) {
        memcpy(login->host, line.data() + hostAt, hostEnd - hostAt);
        login->host[hostEnd - hostAt] = '\0';
    } else {
        *login = Login();
        Trace("the login kept for %s cannot be read", key[0] != '\0' ? key : "the proxy");
    }
    return found ? LoginFound::kFound : LoginFound::kUnreadable;
}

bool WriteLogin(const char* key, const Login& login) {
    char keyText[2 * kFolderIdCapacity];
    char sealed[2 * kProtectedLoginCapacity];
    if (!KeyText(key, keyText, sizeof keyText) || !IsHostText(login.host) ||
        !Seal(login, sealed, sizeof sealed)) {
        return false;
    }
    std::lock_guard<std::mutex> hold(g_loginFileLock);
    std::string lines;
    // A file that cannot be read is not written over: the logins it holds may be read again
    // once what keeps it from being read has passed.
    if (ReadLines(&lines) == FileRead::kUnreadable) {
        return false;
    }
    size_t at = 0;
    size_t length = 0;
    if (FindLine(lines, keyText, &at, &length)) {
        lines.erase(at, length);
    }
    lines += std::string(keyText) + " " + login.host + " " + sealed + "\n";
    const bool written = WriteLines(lines);
    WipeBytes(&lines[0], lines.size());
    return written;
}

bool DeleteLogin(const char* key) {
    char keyText[2 * kFolderIdCapacity];
    if (!KeyText(key, keyText, sizeof keyText)) {
        return true;
    }
    std::lock_guard<std::mutex> hold(g_loginFileLock);
    std::string lines;
    const FileRead read = ReadLines(&lines);
    size_t at = 0;
    size_t length = 0;
    if (read != FileRead::kRead || !FindLine(lines, keyText, &at, &length)) {
        return read != FileRead::kUnreadable;
    }
    lines.erase(at, length);
    const bool written = WriteLines(lines);
    WipeBytes(&lines[0], lines.size());
    return written;
}

namespace {

// Percent-decodes `length` bytes of UTF-8 into `out`; false for a "%" not followed by two
// hexadecimal digits, a decoded zero byte, or a result that does not fit.
bool PercentDecode(const char* text, size_t length, char* out, size_t capacity) {
    size_t used = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '%') {
            const int high = i + 2 < length ? HexDigitValue(text[i + 1]) : -1;
            const int low = i + 2 < length ? HexDigitValue(text[i + 2]) : -1;
            if (high < 0 || low < 0) {
                return false;
            }
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (c == '\0' || used + 1 >= capacity) {
            return false;
        }
        out[used++] = c;
    }
    out[used] = '\0';
    return true;
}

}  // namespace

AddressLogin TakeLoginFromAddress(const char* typed, char* address, size_t capacity, Login* login) {
    *login = Login();
    char absolute[kUrlCapacity + 8];
    if (typed == nullptr || !AbsoluteFeedUrl(typed, absolute, sizeof absolute)) {
        return AddressLogin::kNone;
    }
    UrlParts parts;
    SplitUrlReference(absolute, &parts);
    if (!parts.userInfo.present) {
        return AddressLogin::kNone;
    }
    // The address without "user:password@", as it is kept.
    TextWriter rest(address, capacity);
    const size_t after = parts.userInfo.at + parts.userInfo.length + 1;
    char info[kUrlCapacity] = "";
    char infoUtf8[kUrlCapacity] = "";
    bool taken = rest.Put(absolute, parts.userInfo.at) && rest.Put(absolute + after) &&
                 parts.userInfo.length < sizeof info;
    if (taken) {
        memcpy(info, absolute + parts.userInfo.at, parts.userInfo.length);
        info[parts.userInfo.length] = '\0';
        // Typed in the host's code page; a percent-encoded byte stands for itself, as a browser
        // writes the UTF-8 of a name beyond ASCII.
        taken = AnsiToUtf8(info, infoUtf8, sizeof infoUtf8);
    }
    const char* colon = taken ? strchr(infoUtf8, ':') : nullptr;
    const size_t userLength =
        colon != nullptr ? static_cast<size_t>(colon - infoUtf8) : strlen(infoUtf8);
    taken = taken && PercentDecode(infoUtf8, userLength, login->user, sizeof login->user) &&
            (colon == nullptr || PercentDecode(colon + 1, strlen(colon + 1), login->password,
                                               sizeof login->password)) &&
            !login->empty() && AddressHost(address, login->host, sizeof login->host);
    WipeBytes(info, sizeof info);
    WipeBytes(infoUtf8, sizeof infoUtf8);
    WipeBytes(absolute, sizeof absolute);
    if (!taken) {
        *login = Login();
        return AddressLogin::kBad;
    }
    return AddressLogin::kTaken;
}
