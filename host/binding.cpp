#include "host/binding.h"

#include "base/hostapi.h"
#include "platform/modules.h"

namespace {

HostApi::Proc LookupExport(HMODULE module, const char* name) {
    // Host functions have many signatures; they travel as a plain procedure address and are cast
    // back to their own type when stored in their slot.
    return reinterpret_cast<HostApi::Proc>(GetProcAddress(module, name));
}

}  // namespace

bool IsHostOlderThan2_00_06(const char* version) {
    return lstrlenA(version) <= 7 && lstrcmpA(version, "2.00.06") < 0;
}

bool HostApi::Bind() {
    if (module != nullptr) {
        return true;
    }
    return BindFrom(GetModuleHandleA(nullptr), LookupExport);
}

bool HostApi::BindFrom(HMODULE host, Lookup lookup) {
    if (module != nullptr) {
        return true;
    }
    module = host;
    if (module == nullptr) {
        return false;
    }

    // Slots 1 to 55 but 22, strictly in slot order; the first missing name ends the binding. The
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

    PXA_SetStatus = reinterpret_cast<HostFn::PXA_SetStatus>(lookup(module, "PXA_SetStatus"));
    PXA_NextUnread = reinterpret_cast<HostFn::PXA_NextUnread>(lookup(module, "PXA_NextUnread"));

    // A host that answers no version at all is taken as one with an empty version text.
    const char* version = PXA_GetVersion();
    if (IsHostOlderThan2_00_06(version ? version : "") || PXA_SetStatus != nullptr) {
        return true;
    }
    module = nullptr;
    return false;
}
