// HostApi: the process-wide record of the host functions the plug-in binds by name. The record
// is the base's, since every subsystem calls the host through it; binding it is the host
// layer's (host/binding.cpp).
#pragma once

#include "base/pxapi.h"

struct HostApi {
    // One entry per host function, in slot order.
#define QF_HOST_SLOT(slot, name, result, params, need) HostFn::name name;
    QF_HOST_FUNCTIONS(QF_HOST_SLOT)
#undef QF_HOST_SLOT

    // The host executable the entries were resolved from; null while the record is not bound.
    const void* module;

    // Binds the record from the process's main executable. Succeeds at once when the record is
    // already bound. Fails, leaving `module` null, when a required function is missing or the
    // host is of version 2.00.06 or later and lacks PXA_SetStatus.
    bool Bind();

    // What Bind does, with the executable and the name lookup given: the seam through which tests
    // bind against fake hosts. `lookup` answers null for a name the host does not export.
    typedef void (*Proc)();
    typedef Proc (*Lookup)(const void* module, const char* name);
    bool BindFrom(const void* host, Lookup lookup);
};

// The record every subsystem calls the host through. Written only while the module is attached.
extern HostApi g_hostApi;
