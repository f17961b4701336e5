// COM and the MSXML SAX2 reader come from the Windows headers and libraries (ole32, oleaut32).
// MinGW's import libraries lack the ids the system names, so they are defined here, under the
// same names the POSIX side uses.
#pragma once

#include "platform.h"

#include <ole2.h>
#include <msxml2.h>

#include "codepage.h"

// The SAX reader class and the interfaces the feed reader asks for.
inline const CLSID kClsidSaxXmlReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
inline const IID kIidSaxXmlReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
inline const IID kIidSaxContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
inline const IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// For tests: the real reader cannot be made to go missing; answers that it cannot pretend so.
inline bool SimulateMissingSaxReader(bool) {
    return false;
}
