// URL references resolved against a base, as RFC 3986 does: feeds and servers write links
// relative to the document they stand in.
#pragma once

#include <cstddef>

// What becomes of a reference's fragment ("#part"): a link shown to the reader keeps it, a
// request never sends it.
enum class UrlFragment { kDrop, kKeep };

// Resolves `reference` against `base`: an absolute URL stays as it is, "//host/x" takes the
// base's scheme, "/x" its server, "?q" its path, any other its directory, and "." and ".."
// segments are taken out. False when the result does not fit `capacity`.
[[nodiscard]] bool ResolveReference(const char* base, const char* reference, char* out,
                                    size_t capacity, UrlFragment fragment = UrlFragment::kDrop);
