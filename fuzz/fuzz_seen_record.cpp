// The record of seen items read from any bytes, checked against a plain reading of its format:
// the header line, "folder " and the folder's id, one line of a decimal time, a blank and an
// escaped identity per item, and "end " with the count of those lines, every line ended by LF.
// A record of that form is read and holds exactly its identities; any other is unreadable.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/module.h"
#include "compose/seen_record.h"

namespace {

const char kFolderId[] = "Feeds";

// The identities of a record of the plain form, or false when it is of no such form.
bool PlainReading(const std::string& bytes, std::set<std::string>* identities) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            return false;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    std::string folder = lines.size() > 1 ? lines[1] : std::string();
    for (size_t k = 7; k < folder.size(); ++k) {
        folder[k] =
            static_cast<char>(folder[k] >= 'A' && folder[k] <= 'Z' ? folder[k] + 32 : folder[k]);
    }
    if (lines.size() < 3 || lines[0] != "Quillfeed seen items 1" || folder != "folder feeds" ||
        lines.back() != "end " + std::to_string(lines.size() - 3)) {
        return false;
    }
    for (size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t space = line.find(' ');
        if (space == 0 || space == std::string::npos ||
            line.find_first_not_of("0123456789") != space) {
            return false;
        }
        // A time of 32 bits: its digits after leading zeros are at most those of 4294967295.
        const size_t first = line.find_first_not_of('0');
        const std::string digits = first < space ? line.substr(first, space - first) : "";
        if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295")) {
            return false;
        }
        std::string identity;
        for (size_t k = space + 1; k < line.size(); ++k) {
            if (line[k] != '\\') {
                identity += line[k];
            } else if (k + 1 < line.size() && strchr("\\nr", line[k + 1]) != nullptr &&
                       line[k + 1] != '\0') {
                ++k;
                identity += line[k] == 'n' ? '\n' : line[k] == 'r' ? '\r' : '\\';
            } else {
                return false;
            }
        }
        if (identity.empty()) {
            return false;
        }
        identities->insert(identity);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string root = [] {
        char pattern[] = "/tmp/quillfeed-fuzz-seen-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    if (!CopyText(SettingsFilePath, sizeof SettingsFilePath, (root + "/settings.ini").c_str())) {
        abort();
    }
    mkdir((root + "/settings.seen").c_str(), 0777);
    char path[kPathCapacity];
    if (!SeenRecordPath(kFolderId, path, sizeof path)) {
        abort();
    }
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        abort();
    }
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);

    std::set<std::string> expected;
    const bool plain = PlainReading(bytes, &expected);
    SeenRecord record(kFolderId, 2000000000u);
    if ((record.state() == SeenRecord::State::kRead) != plain) {
        abort();
    }
    for (const std::string& identity : plain ? expected : std::set<std::string>()) {
        if (!record.Holds(identity)) {
            abort();
        }
    }
    return 0;
}
