#include "base/hostapi.h"

HostApi g_hostApi;
