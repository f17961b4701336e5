// The user's choice of app theme in the registry: the Windows side of theme.h.
#include "platform/theme.h"

#include "platform.h"

bool AppsUseDarkTheme() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD value = 1;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(key, "AppsUseLightTheme", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value == 0;
}
