// The stand-in host's mail store. Several plug-in workers may append to one folder at once, so
// every append takes the store's lock for the number, the message file and the index line.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "standin/host.h"

namespace pellix {
namespace {

const char kIndexHeader[] = "Pellix folder index 1\r\n";
const char kFieldSeparator = '\x01';

std::mutex g_storeLock;

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// A header value of the message, as the index shows it: up to the line end, without the
// separator byte.
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
    size_t end = text.find_first_of("\r\n", at);
    std::string value = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    for (char& c : value) {
        if (c == kFieldSeparator) {
            c = ' ';
        }
    }
    return value;
}

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
    std::string index = path + QF_PATH_SEPARATOR + "Folder.idx";
    if (!Exists(index)) {
        std::ofstream out(index, std::ios::binary);
        out << kIndexHeader;
        return static_cast<bool>(out);
    }
    return true;
}

bool AppendToFolder(const std::string& folderId, const char* message) {
    std::lock_guard<std::mutex> hold(g_storeLock);
    std::string folder = FolderPath(folderId);
    std::string index = folder + QF_PATH_SEPARATOR + "Folder.idx";
    if (!Exists(index)) {
        return false;
    }
    int number = 1;
    while (Exists(folder + QF_PATH_SEPARATOR + std::to_string(number) + ".msg")) {
        ++number;
    }
    std::string text = message ? message : "";
    {
        std::ofstream out(folder + QF_PATH_SEPARATOR + std::to_string(number) + ".msg",
                          std::ios::binary);
        out << text;
        if (!out) {
            return false;
        }
    }
    std::ofstream out(index, std::ios::binary | std::ios::app);
    out << number << kFieldSeparator << HeaderValue(text, "Date") << kFieldSeparator
        << HeaderValue(text, "From") << kFieldSeparator << HeaderValue(text, "Subject") << "\r\n";
    return static_cast<bool>(out);
}

bool ReadIndex(const std::string& folderId, std::vector<IndexEntry>* entries) {
    std::lock_guard<std::mutex> hold(g_storeLock);
    std::ifstream in(FolderPath(folderId) + QF_PATH_SEPARATOR + "Folder.idx", std::ios::binary);
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
