// COM and the MSXML SAX2 reader, as the feed reader uses them: CoInitialize, CoCreateInstance
// and CoUninitialize; the reader's ISAXXMLReader, the content handler's ISAXContentHandler and
// ISAXAttributes; the VARIANT and safe array that carry the document. Win32: the real ones (ole32,
// oleaut32, MSXML). POSIX: the same interface shapes, with a reader driven by expat
// (platform/posix/sax_api.h, sax_reader.cpp).
//
// What the feed reader relies on: namespace processing on, local names without their prefix,
// attributes by index, character data in chunks (an element's text may come in several), entities
// and CDATA delivered as character data, and every event delivered inside parse on the calling
// thread.
#pragma once

#include "platform.h"

// The class id of the SAX reader and the interface ids the feed reader asks for, the same on
// both platforms; MinGW's import libraries lack some of them.
inline const CLSID kClsidSaxXmlReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
inline const IID kIidSaxXmlReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
inline const IID kIidSaxContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
inline const IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// For tests: while `missing` is set, creating the SAX reader fails with REGDB_E_CLASSNOTREG, as on
// a system without it. Returns whether the platform can pretend so; the real one cannot.
bool SimulateMissingSaxReader(bool missing);
