#include "host/text.h"

#include <cstdio>
#include <cstring>

bool CopyText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) {
        return src == nullptr || *src == '\0';
    }
    dst[0] = '\0';
    return AppendText(dst, capacity, src);
}

bool AppendText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) {
        return src == nullptr || *src == '\0';
    }
    size_t used = strnlen(dst, capacity - 1);
    size_t room = capacity - 1 - used;
    size_t length = src ? strlen(src) : 0;
    size_t taken = length < room ? length : room;
    memcpy(dst + used, src ? src : "", taken);
    dst[used + taken] = '\0';
    return taken == length;
}

bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args) {
    if (capacity == 0) {
        return false;
    }
    int written = vsnprintf(dst, capacity, format, args);
    if (written < 0) {
        dst[0] = '\0';
        return false;
    }
    return static_cast<size_t>(written) < capacity;
}

bool FormatText(char* dst, size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool whole = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return whole;
}
