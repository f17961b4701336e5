// Stands in for COM and the MSXML SAX2 reader: a reader driven by expat that calls the content
// handler with the events the MSXML reader delivers. What it leaves out is listed in sax.h.
#include "platform/sax_reader.h"

#include <expat.h>
#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)

// Separates namespace URI, local name and prefix in the names expat reports. No XML 1.0 name or
// namespace URI can hold it.
constexpr char kNameSeparator = '\x01';

thread_local int t_comInitCount = 0;
std::atomic<bool> g_readerMissing{false};

// Writes sixteen bytes as UTF-16 units when all of them are ASCII; false, writing nothing, when
// one is not.
bool WidenSixteenAscii(const unsigned char* bytes, char16_t* to) {
#if defined(__SSE2__)
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    if (_mm_movemask_epi8(sixteen) != 0) {
        return false;
    }
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(sixteen, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(sixteen, zero));
    return true;
#else
    uint64_t halves[2];
    memcpy(halves, bytes, sizeof halves);
    if (((halves[0] | halves[1]) & 0x8080808080808080u) != 0) {
        return false;
    }
    for (int i = 0; i < 16; ++i) {
        to[i] = bytes[i];
    }
    return true;
#endif
}

// Writes UTF-8 text, as expat reports it (always well formed), as UTF-16 to `to`, which has room
// for `length` units (a text has at least as many bytes as UTF-16 units); returns the count.
size_t Utf8ToUtf16(const char* text, size_t length, char16_t* to) {
    char16_t* const start = to;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = at + length;
    while (at < end) {
        // Sixteen ASCII bytes at a time, the most of most feeds' text and markup.
        if (end - at >= 16 && WidenSixteenAscii(at, to)) {
            to += 16;
            at += 16;
            continue;
        }
        uint32_t c = *at++;
        if (c < 0x80) {
            *to++ = static_cast<char16_t>(c);
            continue;
        }
        int extra = 0;
        if (c >= 0xF0) {
            c &= 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            c &= 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            c &= 0x1F;
            extra = 1;
        }
        for (; extra > 0 && at < end; --extra) {
            c = (c << 6) | (*at++ & 0x3F);
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            *to++ = static_cast<char16_t>(0xD800 + (c >> 10));
            *to++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            *to++ = static_cast<char16_t>(c);
        }
    }
    return static_cast<size_t>(to - start);
}

// Appends UTF-8 text to UTF-16 text.
void AppendUtf16(std::u16string& out, const char* text, size_t length) {
    const size_t start = out.size();
    out.resize(start + length);
    out.resize(start + Utf8ToUtf16(text, length, &out[start]));
}

std::u16string ToUtf16(const char* text) {
    std::u16string out;
    if (text != nullptr) {
        AppendUtf16(out, text, strlen(text));
    }
    return out;
}

// One name as expat reports it with namespace triplets: "local", "uri SEP local" or
// "uri SEP local SEP prefix".
struct SplitName {
    std::u16string uri;
    std::u16string localName;
    std::u16string qName;
};

void Split(const char* name, SplitName& out) {
    out.uri.clear();
    out.localName.clear();
    out.qName.clear();
    const char* first = strchr(name, kNameSeparator);
    if (first == nullptr) {
        AppendUtf16(out.localName, name, strlen(name));
        out.qName = out.localName;
        return;
    }
    AppendUtf16(out.uri, name, static_cast<size_t>(first - name));
    const char* local = first + 1;
    const char* second = strchr(local, kNameSeparator);
    if (second == nullptr) {
        AppendUtf16(out.localName, local, strlen(local));
        out.qName = out.localName;
        return;
    }
    AppendUtf16(out.localName, local, static_cast<size_t>(second - local));
    AppendUtf16(out.qName, second + 1, strlen(second + 1));
    out.qName.push_back(u':');
    out.qName += out.localName;
}

// Element names as the handler is given them, for up to sixteen names: a feed uses a handful
// of names over and over, so each is split and converted once rather than at every tag.
class NameCache {
public:
    const SplitName& Find(const char* name) {
        const size_t length = strlen(name);
        for (Entry& entry : entries_) {
            if (entry.raw.size() == length && memcmp(entry.raw.data(), name, length) == 0) {
                return entry.split;
            }
        }
        Entry& entry = entries_[next_];
        next_ = (next_ + 1) % kSize;
        entry.raw.assign(name, length);
        Split(name, entry.split);
        return entry.split;
    }

private:
    static constexpr size_t kSize = 16;
    struct Entry {
        std::string raw;
        SplitName split;
    };
    Entry entries_[kSize];
    size_t next_ = 0;
};

// The attribute list of one element. It lives inside the reader and is valid during one
// startElement call, so it counts no references.
class AttributeList final : public ISAXAttributes {
public:
    struct Entry {
        SplitName name;
        std::u16string value;
    };

    void Clear() { count_ = 0; }
    Entry& Add() {
        if (count_ == entries_.size()) {
            entries_.emplace_back();
        }
        return entries_[count_++];
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE getLength(int* length) override {
        if (length == nullptr) {
            return E_POINTER;
        }
        *length = static_cast<int>(count_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE getURI(int index, const WCHAR** text, int* length) override {
        const Entry* entry = At(index);
        return entry ? Give(entry->name.uri, text, length) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE getLocalName(int index, const WCHAR** text, int* length) override {
        const Entry* entry = At(index);
        return entry ? Give(entry->name.localName, text, length) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE getQName(int index, const WCHAR** text, int* length) override {
        const Entry* entry = At(index);
        return entry ? Give(entry->name.qName, text, length) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE getName(int index, const WCHAR** uri, int* uriLength,
                                      const WCHAR** localName, int* localNameLength,
                                      const WCHAR** qName, int* qNameLength) override {
        const Entry* entry = At(index);
        if (entry == nullptr) {
            return E_INVALIDARG;
        }
        HRESULT result = Give(entry->name.uri, uri, uriLength);
        if (SUCCEEDED(result)) {
            result = Give(entry->name.localName, localName, localNameLength);
        }
        if (SUCCEEDED(result)) {
            result = Give(entry->name.qName, qName, qNameLength);
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE getIndexFromName(const WCHAR*, int, const WCHAR*, int,
                                               int*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE getIndexFromQName(const WCHAR*, int, int*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE getType(int, const WCHAR**, int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getTypeFromName(const WCHAR*, int, const WCHAR*, int, const WCHAR**,
                                              int*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE getTypeFromQName(const WCHAR*, int, const WCHAR**, int*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE getValue(int index, const WCHAR** text, int* length) override {
        const Entry* entry = At(index);
        return entry ? Give(entry->value, text, length) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE getValueFromName(const WCHAR*, int, const WCHAR*, int, const WCHAR**,
                                               int*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE getValueFromQName(const WCHAR*, int, const WCHAR**, int*) override {
        return E_NOTIMPL;
    }

private:
    const Entry* At(int index) const {
        if (index < 0 || static_cast<size_t>(index) >= count_) {
            return nullptr;
        }
        return &entries_[static_cast<size_t>(index)];
    }
    static HRESULT Give(const std::u16string& text, const WCHAR** out, int* length) {
        if (out == nullptr || length == nullptr) {
            return E_POINTER;
        }
        *out = text.c_str();
        *length = static_cast<int>(text.size());
        return S_OK;
    }

    // Entries are reused from element to element; count_ says how many belong to this one.
    std::vector<Entry> entries_;
    size_t count_ = 0;
};

// Decodes encodings expat does not know itself through iconv: single-byte code pages, and
// double-byte ones whose lead bytes iconv recognises.
struct IconvEncoding {
    iconv_t handle;
};

int ConvertWithIconv(void* data, const char* bytes) {
    iconv_t handle = static_cast<IconvEncoding*>(data)->handle;
    char in[2] = {bytes[0], bytes[1]};
    char16_t out[2] = {0, 0};
    char* inAt = in;
    size_t inLeft = 2;
    char* outAt = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1) ||
        outLeft != sizeof out - 2) {
        return -1;
    }
    return out[0];
}

void ReleaseIconv(void* data) {
    IconvEncoding* encoding = static_cast<IconvEncoding*>(data);
    iconv_close(encoding->handle);
    delete encoding;
}

// Returns the UTF-16 unit of a one-byte sequence, -2 for a lead byte, -1 for an invalid byte.
int DecodeByte(iconv_t handle, unsigned char byte) {
    char in[1] = {static_cast<char>(byte)};
    char16_t out[2] = {0, 0};
    char* inAt = in;
    size_t inLeft = 1;
    char* outAt = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle, &inAt, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1)) {
        // A byte that yields nothing or a surrogate is no character of its own.
        if (outLeft != sizeof out - 2 || (out[0] >= 0xD800 && out[0] <= 0xDFFF)) {
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

class ExpatReader final : public ISAXXMLReader {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidSaxXmlReader)) {
            *out = static_cast<ISAXXMLReader*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE getFeature(const WCHAR*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putFeature(const WCHAR*, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getProperty(const WCHAR*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putProperty(const WCHAR*, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getEntityResolver(ISAXEntityResolver**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putEntityResolver(ISAXEntityResolver*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getContentHandler(ISAXContentHandler** handler) override {
        if (handler == nullptr) {
            return E_POINTER;
        }
        *handler = handler_;
        if (handler_ != nullptr) {
            handler_->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE putContentHandler(ISAXContentHandler* handler) override {
        if (handler != nullptr) {
            handler->AddRef();
        }
        if (handler_ != nullptr) {
            handler_->Release();
        }
        handler_ = handler;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE getDTDHandler(ISAXDTDHandler**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putDTDHandler(ISAXDTDHandler*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getErrorHandler(ISAXErrorHandler**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putErrorHandler(ISAXErrorHandler*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getBaseURL(const WCHAR**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putBaseURL(const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getSecureBaseURL(const WCHAR**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putSecureBaseURL(const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE parseURL(const WCHAR*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE parse(VARIANT input) override {
        if (input.vt != (VT_ARRAY | VT_UI1) || input.parray == nullptr ||
            input.parray->cDims != 1 || input.parray->cbElements != 1) {
            return E_INVALIDARG;
        }
        const char* bytes = static_cast<const char*>(input.parray->pvData);
        size_t size = input.parray->rgsabound[0].cElements;
        if (bytes == nullptr && size != 0) {
            return E_INVALIDARG;
        }
        XML_Parser parser = XML_ParserCreateNS(nullptr, kNameSeparator);
        if (parser == nullptr) {
            return E_OUTOFMEMORY;
        }
        parser_ = parser;
        stopped_ = false;
        XML_SetReturnNSTriplet(parser, 1);
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, OnStartElement, OnEndElement);
        XML_SetCharacterDataHandler(parser, OnCharacters);
        XML_SetNamespaceDeclHandler(parser, OnStartNamespace, OnEndNamespace);
        XML_SetProcessingInstructionHandler(parser, OnProcessingInstruction);
        XML_SetSkippedEntityHandler(parser, OnSkippedEntity);
        XML_SetUnknownEncodingHandler(parser, UnknownEncoding, nullptr);

        Deliver(handler_ ? handler_->putDocumentLocator(nullptr) : S_OK);
        Deliver(handler_ && !stopped_ ? handler_->startDocument() : S_OK);
        bool wellFormed = !stopped_;
        // The whole document in one piece when it can be; expat's length is an int.
        while (wellFormed) {
            int piece = size > INT_MAX ? INT_MAX : static_cast<int>(size);
            bool last = static_cast<size_t>(piece) == size;
            wellFormed = XML_Parse(parser, bytes, piece, last) == XML_STATUS_OK && !stopped_;
            bytes += piece;
            size -= static_cast<size_t>(piece);
            if (last) {
                break;
            }
        }
        if (wellFormed && handler_ != nullptr) {
            Deliver(handler_->endDocument());
        }
        XML_ParserFree(parser);
        parser_ = nullptr;
        pendingDeclarations_.clear();
        return wellFormed ? S_OK : E_FAIL;
    }

private:
    ~ExpatReader() {
        if (handler_ != nullptr) {
            handler_->Release();
        }
    }

    // A failing handler stops the parse, as it stops the MSXML reader.
    void Deliver(HRESULT result) {
        if (FAILED(result) && !stopped_) {
            stopped_ = true;
            if (parser_ != nullptr) {
                XML_StopParser(parser_, XML_FALSE);
            }
        }
    }

    static ExpatReader* From(void* data) { return static_cast<ExpatReader*>(data); }
    bool Listening() const { return handler_ != nullptr && !stopped_; }

    static void XMLCALL OnStartNamespace(void* data, const XML_Char* prefix, const XML_Char* uri) {
        ExpatReader* self = From(data);
        if (!self->Listening()) {
            return;
        }
        AttributeList::Entry declaration;
        declaration.name.qName = u"xmlns";
        std::u16string prefixText = ToUtf16(prefix);
        if (!prefixText.empty()) {
            declaration.name.qName += u":" + prefixText;
        }
        declaration.value = ToUtf16(uri);
        self->Deliver(self->handler_->startPrefixMapping(
            prefixText.c_str(), static_cast<int>(prefixText.size()), declaration.value.c_str(),
            static_cast<int>(declaration.value.size())));
        self->pendingDeclarations_.push_back(std::move(declaration));
    }

    static void XMLCALL OnEndNamespace(void* data, const XML_Char* prefix) {
        ExpatReader* self = From(data);
        if (!self->Listening()) {
            return;
        }
        std::u16string prefixText = ToUtf16(prefix);
        self->Deliver(self->handler_->endPrefixMapping(prefixText.c_str(),
                                                       static_cast<int>(prefixText.size())));
    }

    static void XMLCALL OnStartElement(void* data, const XML_Char* name,
                                       const XML_Char** attributes) {
        ExpatReader* self = From(data);
        if (!self->Listening()) {
            return;
        }
        AttributeList& list = self->attributes_;
        list.Clear();
        for (AttributeList::Entry& declaration : self->pendingDeclarations_) {
            list.Add() = std::move(declaration);
        }
        self->pendingDeclarations_.clear();
        for (size_t i = 0; attributes[i] != nullptr; i += 2) {
            AttributeList::Entry& entry = list.Add();
            Split(attributes[i], entry.name);
            entry.value.clear();
            AppendUtf16(entry.value, attributes[i + 1], strlen(attributes[i + 1]));
        }
        const SplitName& element = self->names_.Find(name);
        self->Deliver(self->handler_->startElement(
            element.uri.c_str(), static_cast<int>(element.uri.size()), element.localName.c_str(),
            static_cast<int>(element.localName.size()), element.qName.c_str(),
            static_cast<int>(element.qName.size()), &list));
    }

    static void XMLCALL OnEndElement(void* data, const XML_Char* name) {
        ExpatReader* self = From(data);
        if (!self->Listening()) {
            return;
        }
        const SplitName& element = self->names_.Find(name);
        self->Deliver(self->handler_->endElement(
            element.uri.c_str(), static_cast<int>(element.uri.size()), element.localName.c_str(),
            static_cast<int>(element.localName.size()), element.qName.c_str(),
            static_cast<int>(element.qName.size())));
    }

    static void XMLCALL OnCharacters(void* data, const XML_Char* text, int length) {
        ExpatReader* self = From(data);
        if (!self->Listening() || length <= 0) {
            return;
        }
        // Every chunk is converted, as the platform's reader does; the buffer only ever grows, so
        // that a chunk costs its conversion and nothing else.
        if (self->text_.size() < static_cast<size_t>(length)) {
            self->text_.resize(static_cast<size_t>(length));
        }
        const size_t units = Utf8ToUtf16(text, static_cast<size_t>(length), self->text_.data());
        self->Deliver(self->handler_->characters(self->text_.data(), static_cast<int>(units)));
    }

    static void XMLCALL OnProcessingInstruction(void* data, const XML_Char* target,
                                                const XML_Char* body) {
        ExpatReader* self = From(data);
        if (!self->Listening()) {
            return;
        }
        std::u16string targetText = ToUtf16(target);
        std::u16string bodyText = ToUtf16(body);
        self->Deliver(self->handler_->processingInstruction(
            targetText.c_str(), static_cast<int>(targetText.size()), bodyText.c_str(),
            static_cast<int>(bodyText.size())));
    }

    static void XMLCALL OnSkippedEntity(void* data, const XML_Char* name, int isParameterEntity) {
        ExpatReader* self = From(data);
        if (!self->Listening() || isParameterEntity) {
            return;
        }
        std::u16string nameText = ToUtf16(name);
        self->Deliver(
            self->handler_->skippedEntity(nameText.c_str(), static_cast<int>(nameText.size())));
    }

    ULONG references_ = 1;
    ISAXContentHandler* handler_ = nullptr;
    XML_Parser parser_ = nullptr;
    bool stopped_ = false;
    AttributeList attributes_;
    std::vector<AttributeList::Entry> pendingDeclarations_;
    NameCache names_;
    std::vector<char16_t> text_;
};

}  // namespace

HRESULT CoInitialize(void*) {
    return t_comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_comInitCount > 0) {
        --t_comInitCount;
    }
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD, REFIID interfaceId, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (t_comInitCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if (!IsEqualGUID(classId, kClsidSaxXmlReader) || g_readerMissing.load()) {
        return REGDB_E_CLASSNOTREG;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if (!IsEqualGUID(interfaceId, kIidSaxXmlReader) && !IsEqualGUID(interfaceId, kIidUnknown)) {
        return E_NOINTERFACE;
    }
    ExpatReader* reader = new (std::nothrow) ExpatReader;
    if (reader == nullptr) {
        return E_OUTOFMEMORY;
    }
    *out = static_cast<ISAXXMLReader*>(reader);
    return S_OK;
}

SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dims, SAFEARRAYBOUND* bounds) {
    if (type != VT_UI1 || dims != 1 || bounds == nullptr) {
        return nullptr;
    }
    SAFEARRAY* array = static_cast<SAFEARRAY*>(calloc(1, sizeof(SAFEARRAY)));
    if (array == nullptr) {
        return nullptr;
    }
    // One byte more than asked, so an empty array still has data to point at.
    array->pvData = calloc(static_cast<size_t>(bounds[0].cElements) + 1, 1);
    if (array->pvData == nullptr) {
        free(array);
        return nullptr;
    }
    array->cDims = 1;
    array->cbElements = 1;
    array->rgsabound[0] = bounds[0];
    return array;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
    if (array == nullptr) {
        return E_INVALIDARG;
    }
    ++array->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
    if (array == nullptr || array->cLocks == 0) {
        return E_INVALIDARG;
    }
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (array == nullptr) {
        return S_OK;
    }
    if (array->cLocks != 0) {
        return (HRESULT)0x8002000D;  // DISP_E_ARRAYISLOCKED
    }
    free(array->pvData);
    free(array);
    return S_OK;
}

bool SimulateMissingSaxReader(bool missing) {
    g_readerMissing = missing;
    return true;
}
