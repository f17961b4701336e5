#include "host/binding.h"

#include <cstring>

#include "base/hostapi.h"
#include "platform/modules.h"

namespace {

HostApi::Proc LookupExport(const void* module, const char* name) {
    // Host functions have many signatures; they travel as a plain procedure address and are cast
    // back to their own type when stored in their slot.
    return FindExport(module, name);
}

}  // namespace

bool IsHostOlderThan2_00_06(const char* version) {
    // Version texts are digits and dots, which every collation orders as their bytes do.
    return strlen(version) <= 7 && strcmp(version, "2.00.06") < 0;
}

bool HostApi::Bind() {
    if (module != nullptr) {
        return true;
    }
    return BindFrom(MainProgram(), LookupExport);
}

bool HostApi::BindFrom(const void* host, Lookup lookup) {
    if (module != nullptr) {
        return true;
    }
    module = host;
    if (module == nullptr) {
        return false;
    }

    // Every required entry, in the table's order; the first missing name ends the binding. The
    // entries resolved before it stay in their slots, but the record counts as unbound.
#define QF_BIND_REQUIRED(slot, name, result, params, need)            \
    if (HostNeed::need == HostNeed::kRequired) {                      \
        name = reinterpret_cast<HostFn::name>(lookup(module, #name)); \
        if (name == nullptr) {                                        \
            module = nullptr;                                         \
            return false;                                             \
        }                                                             \
    }
    QF_HOST_FUNCTIONS(QF_BIND_REQUIRED)
#undef QF_BIND_REQUIRED

    // Then the others, in the same order; a missing one stays empty.
    bool versionNeedMissing = false;
#define QF_BIND_OTHER(slot, name, result, params, need)                              \
    if (HostNeed::need != HostNeed::kRequired) {                                     \
        name = reinterpret_cast<HostFn::name>(lookup(module, #name));                \
        versionNeedMissing =                                                         \
            versionNeedMissing || (HostNeed::need == HostNeed::kByVersion && !name); \
    }
    QF_HOST_FUNCTIONS(QF_BIND_OTHER)
#undef QF_BIND_OTHER

    // A host of version 2.00.06 or later must have what its version needs. One that answers no
    // version at all is taken as one with an empty version text.
    const char* version = PXA_GetVersion();
    if (IsHostOlderThan2_00_06(version ? version : "") || !versionNeedMissing) {
        return true;
    }
    module = nullptr;
    return false;
}
