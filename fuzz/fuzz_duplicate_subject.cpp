// IsDuplicateSubject over random index files, checked against a plain reading of the rule: skip
// the first line, cut each further line at every 0x01, and list the subject when a line's
// fourth field is the subject (a line end after it ignored), whether the file is read whole or
// followed as it grows. The first input byte sets how many of the following bytes form the
// subject, and where the file grows from; the rest is the index file.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/folder_index.h"
#include "base/hostapi.h"

namespace {

std::string g_dataFolder;
const char kFolderId[] = "f";

std::string IndexPath() {
    return g_dataFolder + "/" + kFolderId + "/Folder.idx";
}

void RemoveScratch() {
    remove(IndexPath().c_str());
    rmdir((g_dataFolder + "/" + kFolderId).c_str());
    rmdir(g_dataFolder.c_str());
}

const char* QF_CALL DataFolder(void) {
    return g_dataFolder.c_str();
}

void WriteIndex(const std::string& bytes, const char* mode) {
    FILE* file = fopen(IndexPath().c_str(), mode);
    if (file == nullptr) {
        abort();
    }
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

bool Expected(const std::string& index, std::string subject) {
    while (!subject.empty() && (subject.back() == '\r' || subject.back() == '\n')) {
        subject.pop_back();
    }
    if (subject.empty()) {
        return false;
    }
    size_t start = index.find('\n');
    if (start == std::string::npos) {
        return false;
    }
    ++start;
    while (start < index.size()) {
        size_t end = index.find('\n', start);
        const bool hasEnd = end != std::string::npos;
        const std::string line = index.substr(start, hasEnd ? end - start : std::string::npos);
        std::vector<std::string> fields;
        bool fourthEndsLine = false;
        for (size_t at = 0;;) {
            const size_t fieldEnd = line.find('\x01', at);
            fields.push_back(
                line.substr(at, fieldEnd == std::string::npos ? fieldEnd : fieldEnd - at));
            if (fields.size() == 4) {
                fourthEndsLine = fieldEnd == std::string::npos;
            }
            if (fieldEnd == std::string::npos) {
                break;
            }
            at = fieldEnd + 1;
        }
        if (fields.size() >= 4) {
            std::string field = fields[3];
            if (fourthEndsLine) {
                // The field ends the line: carriage returns before the line end belong to it.
                while (!field.empty() && field.back() == '\r') {
                    field.pop_back();
                }
            }
            if (field == subject) {
                return true;
            }
        }
        if (!hasEnd) {
            break;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/quillfeed-fuzz-idx-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
        abort();
    }
    g_dataFolder = made;
    mkdir((g_dataFolder + "/" + kFolderId).c_str(), 0700);
    g_hostApi.PXA_GetDataFolder = DataFolder;
    atexit(RemoveScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t subjectLength = data[0] % 32 < size - 1 ? data[0] % 32 : size - 1;
    std::string subject(reinterpret_cast<const char*>(data + 1), subjectLength);
    subject = subject.c_str();  // a terminated text ends at its first zero byte
    const std::string index(reinterpret_cast<const char*>(data + 1 + subjectLength),
                            size - 1 - subjectLength);
    WriteIndex(index, "wb");
    if (IsDuplicateSubject(kFolderId, subject.c_str()) != Expected(index, subject)) {
        abort();
    }
    // Within one refresh the index is read once and then followed as it grows; the answers are
    // still those of a whole reading. The first byte's top bits say where it grows from.
    const size_t cut = index.size() * (data[0] >> 5) / 7;
    WriteIndex(index.substr(0, cut), "wb");
    FolderIndex following;
    if (IsDuplicateSubject(kFolderId, subject.c_str(), &following) !=
        Expected(index.substr(0, cut), subject)) {
        abort();
    }
    WriteIndex(index.substr(cut), "ab");
    if (IsDuplicateSubject(kFolderId, subject.c_str(), &following) != Expected(index, subject)) {
        abort();
    }
    return 0;
}
