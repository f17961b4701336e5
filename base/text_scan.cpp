#include "base/text_scan.h"

#include <climits>
#include <cstring>

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads an optionally signed number at `*at`; false, leaving `*at`, when no digit follows.
bool ReadNumber(const char** at, long long* value) {
    const char* p = *at;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!IsDigit(*p)) {
        return false;
    }
    long long magnitude = 0;
    for (; IsDigit(*p); ++p) {
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) {
            magnitude = magnitude * 10 + (*p - '0');
        }
    }
    if (negative) {
        *value = magnitude > static_cast<long long>(INT_MAX) + 1 ? INT_MIN : -magnitude;
    } else {
        *value = magnitude > INT_MAX ? INT_MAX : magnitude;
    }
    *at = p;
    return true;
}

}  // namespace

char* NextToken(char** cursor, const char* separators) {
    char* p = *cursor;
    if (p == nullptr) {
        return nullptr;
    }
    p += strspn(p, separators);
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char* end = p + strcspn(p, separators);
    if (*end != '\0') {
        *end = '\0';
        *cursor = end + 1;
    } else {
        *cursor = end;
    }
    return p;
}

long long LeadingNumber(const char* text) {
    while (IsSpace(*text)) {
        ++text;
    }
    long long value = 0;
    return ReadNumber(&text, &value) ? value : 0;
}

int ScanNumbers(const char* text, const char* pattern, long long* numbers, int capacity,
                const char** starts) {
    int count = 0;
    const char* p = text;
    for (const char* f = pattern; *f != '\0'; ++f) {
        if (f[0] == '%' && f[1] == 'd') {
            ++f;
            while (IsSpace(*p)) {
                ++p;
            }
            if (count >= capacity) {
                return count;
            }
            const char* start = p;
            if (!ReadNumber(&p, &numbers[count])) {
                return count;
            }
            if (starts != nullptr) {
                starts[count] = start;
            }
            ++count;
        } else if (IsSpace(*f)) {
            while (IsSpace(*p)) {
                ++p;
            }
        } else if (*p == *f) {
            ++p;
        } else {
            return count;
        }
    }
    return count;
}
