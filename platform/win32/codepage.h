// GetACP, WideCharToMultiByte, _ismbblead and _setmbcp come from the Windows headers and runtime.
#pragma once

#include <mbctype.h>

#include "platform.h"
