// The POSIX implementation of the interface in xml_reader.h: expat, driven directly, with the
// bytes pushed into it a piece at a time as the source gives them. Expat reports UTF-8 itself, so
// names, attributes and text reach the handler as expat has them. Encodings that expat lacks
// (single-byte code pages, and double-byte ones whose lead bytes iconv knows) are decoded through
// iconv.
#include "platform/xml_reader.h"

#include <expat.h>
#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Separates the namespace URI from the local name in the names expat reports. No XML name or
// namespace URI can hold it.
constexpr char kNameSeparator = '\x01';

// How much of the document expat is given at a time.
constexpr size_t kPieceSize = 64 * 1024;

std::atomic<bool> g_readerMissing{false};

// A name as expat reports it with namespaces on: "local" or "uri SEPARATOR local".
XmlName SplitName(const char* name) {
    const size_t length = strlen(name);
    const char* separator = static_cast<const char*>(memchr(name, kNameSeparator, length));
    if (separator == nullptr) {
        return {"", 0, name, length};
    }
    const size_t uriLength = static_cast<size_t>(separator - name);
    return {name, uriLength, separator + 1, length - uriLength - 1};
}

// Decodes encodings expat does not know itself through iconv: single-byte code pages, and
// double-byte ones whose lead bytes iconv recognises.
struct IconvEncoding {
    iconv_t handle;
};

// Runs iconv over a short sequence from a fresh shift state. Returns false when iconv refuses it
// (errno says why); otherwise `units` is how many UTF-16 code units it made.
bool ConvertSequence(iconv_t handle, const char* bytes, size_t length, char16_t (&out)[2],
                     size_t& units) {
    char in[2] = {bytes[0], length > 1 ? bytes[1] : '\0'};
    char* inAt = in;
    size_t inLeft = length;
    char* outAt = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1)) {
        return false;
    }
    units = (sizeof out - outLeft) / sizeof out[0];
    return true;
}

int ConvertWithIconv(void* data, const char* bytes) {
    char16_t out[2] = {0, 0};
    size_t units = 0;
    if (!ConvertSequence(static_cast<IconvEncoding*>(data)->handle, bytes, 2, out, units) ||
        units != 1) {
        return -1;
    }
    return out[0];
}

void ReleaseIconv(void* data) {
    IconvEncoding* encoding = static_cast<IconvEncoding*>(data);
    iconv_close(encoding->handle);
    delete encoding;
}

// The character of a one-byte sequence, -2 for a lead byte, -1 for an invalid byte.
int DecodeByte(iconv_t handle, unsigned char byte) {
    const char in[1] = {static_cast<char>(byte)};
    char16_t out[2] = {0, 0};
    size_t units = 0;
    if (ConvertSequence(handle, in, 1, out, units)) {
        // A byte that yields nothing or a surrogate is no character of its own.
        if (units != 1 || (out[0] >= 0xD800 && out[0] <= 0xDFFF)) {
            return -1;
        }
        return out[0];
    }
    return errno == EINVAL ? -2 : -1;
}

int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    iconv_t handle = iconv_open("UTF-16LE", name);
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return XML_STATUS_ERROR;
    }
    bool multiByte = false;
    for (int byte = 0; byte < 256; ++byte) {
        info->map[byte] = DecodeByte(handle, static_cast<unsigned char>(byte));
        multiByte = multiByte || info->map[byte] == -2;
    }
    // Expat needs the markup characters at their ASCII bytes; stateful and wide encodings (ISO
    // 2022, UTF-32) fail here and are refused, as the document then cannot be read.
    for (int byte = 0x20; byte < 0x7F; ++byte) {
        if (info->map[byte] != byte && strchr("$@\\^`{}~", byte) == nullptr) {
            iconv_close(handle);
            return XML_STATUS_ERROR;
        }
    }
    if (info->map[0x09] != 0x09 || info->map[0x0A] != 0x0A || info->map[0x0D] != 0x0D) {
        iconv_close(handle);
        return XML_STATUS_ERROR;
    }
    if (!multiByte) {
        iconv_close(handle);
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }
    IconvEncoding* encoding = new (std::nothrow) IconvEncoding{handle};
    if (encoding == nullptr) {
        iconv_close(handle);
        return XML_STATUS_ERROR;
    }
    info->data = encoding;
    info->convert = ConvertWithIconv;
    info->release = ReleaseIconv;
    return XML_STATUS_OK;
}

}  // namespace

struct XmlReader {
    XML_Parser parser = nullptr;
    XmlHandler* handler = nullptr;
    // The attributes of one element, reused from element to element.
    std::vector<XmlAttribute> attributes;
};

namespace {

void XMLCALL OnStartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
    XmlReader* reader = static_cast<XmlReader*>(data);
    reader->attributes.clear();
    for (size_t i = 0; attributes[i] != nullptr; i += 2) {
        reader->attributes.push_back(
            {SplitName(attributes[i]), attributes[i + 1], strlen(attributes[i + 1])});
    }
    reader->handler->StartElement(SplitName(name), reader->attributes.data(),
                                  reader->attributes.size());
}

void XMLCALL OnEndElement(void* data, const XML_Char* name) {
    static_cast<XmlReader*>(data)->handler->EndElement(SplitName(name));
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    if (length > 0) {
        static_cast<XmlReader*>(data)->handler->Text(text, static_cast<size_t>(length));
    }
}

void KeepError(XML_Parser parser, XmlError* error) {
    if (error == nullptr) {
        return;
    }
    error->line = XML_GetCurrentLineNumber(parser);
    error->column = XML_GetCurrentColumnNumber(parser) + 1;
    const char* words = XML_ErrorString(XML_GetErrorCode(parser));
    const size_t length = words != nullptr ? strnlen(words, sizeof error->words - 1) : 0;
    memcpy(error->words, words != nullptr ? words : "", length);
    error->words[length] = '\0';
}

}  // namespace

XmlReader* OpenXmlReader(unsigned long* failure) {
    if (g_readerMissing.load()) {
        if (failure != nullptr) {
            *failure = 0x80040154;
        }
        return nullptr;
    }
    XmlReader* reader = new (std::nothrow) XmlReader;
    if (reader != nullptr) {
        reader->parser = XML_ParserCreateNS(nullptr, kNameSeparator);
        if (reader->parser == nullptr) {
            delete reader;
            reader = nullptr;
        }
    }
    if (reader == nullptr && failure != nullptr) {
        *failure = 0x8007000E;  // out of memory, in Windows' words
    }
    return reader;
}

XmlOutcome ReadXml(XmlReader* reader, XmlSource* source, XmlHandler* handler, XmlError* error) {
    XML_Parser parser = reader->parser;
    // A parser that read a document before is made new again; its handlers are set anew.
    XML_ParserReset(parser, nullptr);
    reader->handler = handler;
    XML_SetUserData(parser, reader);
    XML_SetElementHandler(parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetUnknownEncodingHandler(parser, UnknownEncoding, nullptr);
    for (;;) {
        void* piece = XML_GetBuffer(parser, static_cast<int>(kPieceSize));
        if (piece == nullptr) {
            KeepError(parser, error);
            return XmlOutcome::kMalformed;
        }
        const long got = source->Read(static_cast<char*>(piece), kPieceSize);
        if (got < 0) {
            return XmlOutcome::kSourceFailed;
        }
        const bool last = got == 0;
        if (XML_ParseBuffer(parser, static_cast<int>(got), last) != XML_STATUS_OK) {
            KeepError(parser, error);
            return XmlOutcome::kMalformed;
        }
        if (last) {
            return XmlOutcome::kWellFormed;
        }
    }
}

void CloseXmlReader(XmlReader* reader) {
    if (reader != nullptr) {
        XML_ParserFree(reader->parser);
        delete reader;
    }
}

bool SimulateMissingXmlReader(bool missing) {
    g_readerMissing = missing;
    return true;
}
