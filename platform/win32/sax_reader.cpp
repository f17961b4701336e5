// The SAX reader is the real one here; only the test seam needs a body.
#include "platform/sax_reader.h"

bool SimulateMissingSaxReader(bool) {
    return false;
}
