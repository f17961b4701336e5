// The user's Internet settings, as WinHTTP reads them: the Windows side of proxy_settings.h. They
// are read at each call, so that a change in the settings (a laptop moved from office to home)
// counts from the next refresh on.
#include "platform/proxy_settings.h"

#include "platform.h"

#include <winhttp.h>

#include <cstring>
#include <initializer_list>

namespace {

// How long finding and fetching a script of automatic configuration may take, each step: a
// network without one (most homes) must not hold a refresh for long.
constexpr int kScriptStepMs = 5000;

// Keeps a list the system gave, when it fits; "" otherwise.
void Keep(char* field, const WCHAR* list) {
    field[0] = '\0';
    if (list == nullptr ||
        WideCharToMultiByte(CP_UTF8, 0, list, -1, field, static_cast<int>(kProxyListCapacity),
                            nullptr, nullptr) <= 0) {
        field[0] = '\0';
    }
}

// What the script of automatic configuration says of `url`: true when it ran, with `proxy` set
// (nothing in it for "DIRECT"); false when there was no script to find or run.
bool RunScript(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& settings, const char* url,
               SystemProxy* proxy) {
    WCHAR wide[2048];
    if (MultiByteToWideChar(CP_UTF8, 0, url, -1, wide, sizeof wide / sizeof wide[0]) <= 0) {
        return false;
    }
    HINTERNET session = WinHttpOpen(L"Quillfeed", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        return false;
    }
    WinHttpSetTimeouts(session, kScriptStepMs, kScriptStepMs, kScriptStepMs, kScriptStepMs);
    WINHTTP_AUTOPROXY_OPTIONS options;
    memset(&options, 0, sizeof options);
    if (settings.lpszAutoConfigUrl != nullptr) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings.lpszAutoConfigUrl;
    }
    if (settings.fAutoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    // A script on an intranet server may ask for the user's Windows login.
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO found;
    memset(&found, 0, sizeof found);
    const bool ran = WinHttpGetProxyForUrl(session, wide, &options, &found) != FALSE;
    if (ran && found.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        Keep(proxy->proxies, found.lpszProxy);
        Keep(proxy->bypass, found.lpszProxyBypass);
    }
    if (found.lpszProxy != nullptr) {
        GlobalFree(found.lpszProxy);
    }
    if (found.lpszProxyBypass != nullptr) {
        GlobalFree(found.lpszProxyBypass);
    }
    WinHttpCloseHandle(session);
    return ran;
}

}  // namespace

void FindSystemProxy(const char* url, SystemProxy* proxy) {
    *proxy = SystemProxy();
    proxy->form = ProxyListForm::kWindows;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings;
    memset(&settings, 0, sizeof settings);
    if (!WinHttpGetIEProxyConfigForCurrentUser(&settings)) {
        return;
    }
    // A script decides when there is one; the fixed proxy stands when none can be found or run,
    // as Windows' own programs fall back to it.
    const bool scripted = (settings.fAutoDetect || settings.lpszAutoConfigUrl != nullptr) &&
                          RunScript(settings, url, proxy);
    if (!scripted) {
        Keep(proxy->proxies, settings.lpszProxy);
        Keep(proxy->bypass, settings.lpszProxyBypass);
    }
    for (LPWSTR text : {settings.lpszAutoConfigUrl, settings.lpszProxy, settings.lpszProxyBypass}) {
        if (text != nullptr) {
            GlobalFree(text);
        }
    }
}
