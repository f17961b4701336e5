#include "base/url_reference.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

// A path (with its query) with "." and ".." segments taken out, as RFC 3986 resolves them.
std::string RemoveDotSegments(const std::string& pathAndQuery) {
    const size_t queryAt = pathAndQuery.find('?');
    const std::string path = pathAndQuery.substr(0, queryAt);
    const std::string query = queryAt == std::string::npos ? "" : pathAndQuery.substr(queryAt);
    std::vector<std::string> segments;
    size_t start = path[0] == '/' ? 1 : 0;
    bool endsInDirectory = false;
    while (start <= path.size()) {
        const size_t end = path.find('/', start);
        const std::string segment =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        endsInDirectory = segment == "." || segment == ".." || segment.empty();
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (segment != ".") {
            if (end != std::string::npos || !segment.empty()) {
                segments.push_back(segment);
            }
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& segment : segments) {
        out += "/" + segment;
    }
    if (endsInDirectory && (segments.empty() || !segments.back().empty())) {
        out += "/";
    }
    return (out.empty() ? "/" : out) + query;
}

}  // namespace

bool ResolveReference(const char* base, const char* reference, char* out, size_t capacity,
                      UrlFragment fragment) {
    // A fragment names a place in the document: a reader's link keeps it, a request never sends it.
    const std::string ref(
        reference, fragment == UrlFragment::kKeep ? strlen(reference) : strcspn(reference, "#"));
    const char* authorityAt = strstr(base, "://");
    const size_t schemeLength =
        authorityAt != nullptr ? static_cast<size_t>(authorityAt - base) : 0;
    const char* rest = authorityAt != nullptr ? authorityAt + 3 : base;
    // scheme://authority, then the path and the query of the base.
    const std::string origin(base, static_cast<size_t>(rest - base) + strcspn(rest, "/?#"));
    const char* pathAt = base + origin.size();
    const std::string basePath(pathAt, strcspn(pathAt, "?#"));

    std::string target;
    const size_t colon = ref.find(':');
    const bool hasScheme = colon != std::string::npos && colon > 0 &&
                           ref.find_first_of("/?#") > colon &&
                           (AsciiLower(ref[0]) >= 'a' && AsciiLower(ref[0]) <= 'z');
    if (hasScheme) {
        target = ref;
    } else if (ref.compare(0, 2, "//") == 0) {
        // A server named without a scheme: the base's (plain http for a base without one).
        target = (schemeLength > 0 ? std::string(base, schemeLength) : "http") + ":" + ref;
    } else if (ref.empty() || ref[0] == '#') {
        // The base document itself, at the reference's place in it when there is one.
        target = std::string(base, strcspn(base, "#")) + ref;
    } else if (ref[0] == '/') {
        target = origin + RemoveDotSegments(ref);
    } else if (ref[0] == '?') {
        target = origin + (basePath.empty() ? "/" : basePath) + ref;
    } else {
        // Relative to the base's directory: its path up to the last "/".
        const size_t lastSlash = basePath.rfind('/');
        const std::string directory =
            lastSlash == std::string::npos ? "/" : basePath.substr(0, lastSlash + 1);
        target = origin + RemoveDotSegments(directory + ref);
    }
    return CopyText(out, capacity, target.c_str());
}
