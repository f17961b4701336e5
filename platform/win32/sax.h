// COM and the MSXML SAX2 reader come from the Windows headers and libraries (ole32, oleaut32).
// MinGW's import libraries lack the ids the system names, so they are defined here, under the
// same names the POSIX side uses.
#pragma once

#include "platform.h"

#include <ole2.h>
#include <msxml2.h>

#include "codepage.h"

#include "platform/sax_ids.h"

// For tests: the real reader cannot be made to go missing; answers that it cannot pretend so.
inline bool SimulateMissingSaxReader(bool) {
    return false;
}
