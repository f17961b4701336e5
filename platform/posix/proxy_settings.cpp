// The proxy variables of the environment, as curl and wget read them: the POSIX side of
// proxy_settings.h. http_proxy is read in small letters only, as theirs is: a web server's CGI
// programs get a request's "Proxy:" header as HTTP_PROXY.
#include "platform/proxy_settings.h"

#include <stdlib.h>
#include <strings.h>

#include <cstring>

namespace {

// The first variable of `names` that is set and not empty.
const char* FirstSet(const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const char* value = getenv(names[i]);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return nullptr;
}

void Keep(char* field, const char* value) {
    if (value != nullptr && strlen(value) < kProxyListCapacity) {
        memcpy(field, value, strlen(value) + 1);
    }
}

}  // namespace

void FindSystemProxy(const char* url, SystemProxy* proxy) {
    *proxy = SystemProxy();
    proxy->form = ProxyListForm::kVariables;
    static const char* const kHttps[] = {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
    static const char* const kHttp[] = {"http_proxy", "all_proxy", "ALL_PROXY"};
    static const char* const kBypass[] = {"no_proxy", "NO_PROXY"};
    const bool https = strncasecmp(url, "https:", 6) == 0;
    Keep(proxy->proxies, https ? FirstSet(kHttps, sizeof kHttps / sizeof kHttps[0])
                               : FirstSet(kHttp, sizeof kHttp / sizeof kHttp[0]));
    Keep(proxy->bypass, FirstSet(kBypass, sizeof kBypass / sizeof kBypass[0]));
}
