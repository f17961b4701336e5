// The Windows implementation of the interface in xml_reader.h: the platform's SAX2 reader (MSXML,
// class SAXXMLReader, through COM) behind an adapter. The reader pulls the document through a
// stream that reads from the source; the adapter takes the reader's UTF-16 events, converts each
// name, attribute and text to UTF-8 once, and hands them to the handler. The reader runs with its
// own defaults (no feature or property is changed), as it always has: its rules for entities and
// DTDs stay those of the platform.
#include "platform/xml_reader.h"

#include "platform.h"

#include <msxml2.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

namespace {

// The class id of the SAX reader and the interface ids asked for; MinGW's import libraries lack
// some of them.
const CLSID kClsidSaxXmlReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
const IID kIidSaxXmlReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
const IID kIidSaxContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
const IID kIidSaxErrorHandler = {
    0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};

// In-process server, in-process handler and local server.
constexpr DWORD kReaderClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// UTF-16 from the reader into UTF-8, kept in one buffer that only grows: what one event needs is
// converted into it, and pointers into it are made once every piece is in.
class Utf8Arena {
public:
    void Clear() { used_ = 0; }

    // Converts `length` units and answers where they start in the arena and how many bytes they
    // became.
    size_t Add(const wchar_t* text, int length, size_t* bytes) {
        const size_t start = used_;
        *bytes = 0;
        if (text == nullptr || length <= 0) {
            return start;
        }
        // A unit becomes at most three bytes; a surrogate pair, two units, becomes four.
        const size_t room = 3 * static_cast<size_t>(length);
        if (bytes_.size() < used_ + room) {
            bytes_.resize(used_ + room);
        }
        const int written = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes_.data() + used_,
                                                static_cast<int>(room), nullptr, nullptr);
        *bytes = written > 0 ? static_cast<size_t>(written) : 0;
        used_ += *bytes;
        return start;
    }

    const char* At(size_t offset) const { return bytes_.data() + offset; }

private:
    std::vector<char> bytes_ = std::vector<char>(4096);
    size_t used_ = 0;
};

// Where one converted name or value lies in the arena.
struct Piece {
    size_t at = 0;
    size_t bytes = 0;
};

// The reader's events, passed on in UTF-8. It counts no references: it lives as long as the
// reader record that holds it, which releases the reader first.
class ContentAdapter final : public ISAXContentHandler {
public:
    XmlHandler* handler = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, kIidSaxContentHandler)) {
            *out = static_cast<ISAXContentHandler*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE startDocument() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE endDocument() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t*, int, const wchar_t*,
                                                 int) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t*, int) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* uri, int uriLength,
                                           const wchar_t* localName, int localNameLength,
                                           const wchar_t*, int,
                                           ISAXAttributes* attributes) override {
        arena_.Clear();
        const Piece elementUri = Add(uri, uriLength);
        const Piece elementLocal = Add(localName, localNameLength);
        pieces_.clear();
        int count = 0;
        if (attributes != nullptr && SUCCEEDED(attributes->getLength(&count))) {
            for (int i = 0; i < count; ++i) {
                const wchar_t* attributeUri = nullptr;
                const wchar_t* attributeLocal = nullptr;
                const wchar_t* qName = nullptr;
                const wchar_t* value = nullptr;
                int attributeUriLength = 0;
                int attributeLocalLength = 0;
                int qNameLength = 0;
                int valueLength = 0;
                if (FAILED(attributes->getName(i, &attributeUri, &attributeUriLength,
                                               &attributeLocal, &attributeLocalLength, &qName,
                                               &qNameLength)) ||
                    FAILED(attributes->getValue(i, &value, &valueLength))) {
                    continue;
                }
                // The reader lists namespace declarations among the attributes; they are none.
                if (IsNamespaceDeclaration(qName, qNameLength)) {
                    continue;
                }
                pieces_.push_back(Add(attributeUri, attributeUriLength));
                pieces_.push_back(Add(attributeLocal, attributeLocalLength));
                pieces_.push_back(Add(value, valueLength));
            }
        }
        // Pointers only now: the arena may have moved while it grew.
        list_.clear();
        for (size_t i = 0; i + 2 < pieces_.size(); i += 3) {
            list_.push_back({NameOf(pieces_[i], pieces_[i + 1]), arena_.At(pieces_[i + 2].at),
                             pieces_[i + 2].bytes});
        }
        handler->StartElement(NameOf(elementUri, elementLocal), list_.data(), list_.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* uri, int uriLength,
                                         const wchar_t* localName, int localNameLength,
                                         const wchar_t*, int) override {
        arena_.Clear();
        const Piece elementUri = Add(uri, uriLength);
        const Piece elementLocal = Add(localName, localNameLength);
        handler->EndElement(NameOf(elementUri, elementLocal));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE characters(const wchar_t* text, int length) override {
        arena_.Clear();
        const Piece piece = Add(text, length);
        if (piece.bytes > 0) {
            handler->Text(arena_.At(piece.at), piece.bytes);
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* text, int length) override {
        return characters(text, length);
    }
    HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t*, int, const wchar_t*,
                                                    int) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t*, int) override { return S_OK; }

private:
    static bool IsNamespaceDeclaration(const wchar_t* qName, int length) {
        return qName != nullptr && length >= 5 && wcsncmp(qName, L"xmlns", 5) == 0 &&
               (length == 5 || qName[5] == L':');
    }

    Piece Add(const wchar_t* text, int length) {
        Piece piece;
        piece.at = arena_.Add(text, length, &piece.bytes);
        return piece;
    }

    XmlName NameOf(const Piece& uri, const Piece& local) const {
        return {arena_.At(uri.at), uri.bytes, arena_.At(local.at), local.bytes};
    }

    Utf8Arena arena_;
    std::vector<Piece> pieces_;
    std::vector<XmlAttribute> list_;
};

// Keeps the first fatal error the reader reports, with its position.
class ErrorAdapter final : public ISAXErrorHandler {
public:
    XmlError* kept = nullptr;
    bool reported = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, kIidSaxErrorHandler)) {
            *out = static_cast<ISAXErrorHandler*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE error(ISAXLocator* locator, const wchar_t* message,
                                    HRESULT code) override {
        return fatalError(locator, message, code);
    }
    HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator* locator, const wchar_t* message,
                                         HRESULT code) override {
        if (reported || kept == nullptr) {
            return code;
        }
        reported = true;
        int line = 0;
        int column = 0;
        if (locator != nullptr) {
            locator->getLineNumber(&line);
            locator->getColumnNumber(&column);
        }
        kept->line = line > 0 ? static_cast<unsigned long>(line) : 0;
        kept->column = column > 0 ? static_cast<unsigned long>(column) : 0;
        KeepWords(message, code);
        return code;
    }
    HRESULT STDMETHODCALLTYPE ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override {
        return S_OK;
    }

    // The words of a failure the reader gave no message for.
    void KeepCode(HRESULT code) {
        if (!reported && kept != nullptr) {
            reported = true;
            KeepWords(nullptr, code);
        }
    }

private:
    void KeepWords(const wchar_t* message, HRESULT code) {
        char* words = kept->words;
        const int room = static_cast<int>(sizeof kept->words) - 1;
        int written = 0;
        if (message != nullptr && message[0] != L'\0') {
            // Whole characters only: the conversion writes nothing of one that does not fit.
            const int length = static_cast<int>(wcsnlen(message, room));
            written =
                WideCharToMultiByte(CP_UTF8, 0, message, length, words, room, nullptr, nullptr);
            while (written > 0 && (words[written - 1] == '\n' || words[written - 1] == '\r' ||
                                   words[written - 1] == ' ')) {
                --written;
            }
        }
        if (written <= 0) {
            written = snprintf(words, sizeof kept->words, "the reader refused it (%08lX)",
                               static_cast<unsigned long>(code));
            written = written < 0 ? 0 : written;
        }
        words[written < room ? written : room] = '\0';
    }
};

// What the reader is given of the document, rewritten where Wine's reader needs it and any reader
// reads the same. Wine's reader, pulling a stream, loses text of a CDATA section that spans two of
// its reads (a section of 6,600 bytes arrives 212 bytes short) and stops for good at a CR LF inside
// one; the same text as plain character data arrives whole. It also cuts a document in a one-byte
// code page short, or stops it with "Char 0x0 out of allowed range", when its text runs past one
// read (a windows-1251 description of 3,000 characters; docs/reader-differences.md). So:
// - a document in a one-byte code page that its declaration names is converted to UTF-8 on the way,
//   its declaration saying so;
// - line ends become LF, as XML makes every CR LF and lone CR before a parser reads them;
// - a CDATA section becomes the same characters as escaped text ("<" as "&lt;", "&" as "&amp;",
//   ">" as "&gt;"), which every reader delivers as the same character data.
// The last two are done on bytes, which is sound where 0x0D, 0x0A, "<", "&", "]" and ">" are those
// characters alone: UTF-8. A document in UTF-16, or in another encoding its declaration names
// (Shift_JIS, say), only has its line ends made LF, or nothing at all.
class DocumentRewriter {
public:
    // How many of the document's first bytes Look needs: its declaration.
    static constexpr size_t kHeadSize = 256;

    // Decides from the document's first bytes how it is rewritten.
    void Look(const char* bytes, size_t count) {
        const unsigned char first = count > 0 ? static_cast<unsigned char>(bytes[0]) : 1;
        const unsigned char second = count > 1 ? static_cast<unsigned char>(bytes[1]) : 1;
        if (first == 0 || second == 0 || first >= 0xFE) {
            lines_ = cdata_ = false;  // UTF-16 or wider, by its zero bytes or byte order mark
            return;
        }
        if (count == 0) {
            return;
        }
        const std::string head(bytes, count < kHeadSize ? count : kHeadSize);
        std::string name;
        if (head.compare(0, 5, "<?xml") == 0) {
            const size_t end = head.find("?>");
            const size_t at = head.find("encoding");
            const size_t quote =
                at != std::string::npos ? head.find_first_of("\"'", at) : std::string::npos;
            if (quote != std::string::npos && (end == std::string::npos || at < end)) {
                const size_t close = head.find(head[quote], quote + 1);
                if (close != std::string::npos) {
                    name = head.substr(quote + 1, close - quote - 1);
                    nameAt_ = quote + 1;
                    nameLength_ = name.size();
                }
            }
        }
        for (char& c : name) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        codePage_ = OneByteCodePage(name);
        cdata_ = name.empty() || name == "utf-8" || name == "utf8" || name == "us-ascii" ||
                 name == "ascii" || codePage_ != 0;
    }

    // Rewrites `count` bytes onto the end of `out`.
    void Rewrite(const char* bytes, size_t count, std::vector<char>* out) {
        if (codePage_ != 0) {
            Convert(bytes, count);
            bytes = utf8_.data();
            count = utf8_.size();
        }
        for (size_t i = 0; i < count; ++i) {
            char c = bytes[i];
            if (lines_) {
                if (c == '\n' && afterReturn_) {
                    afterReturn_ = false;
                    continue;
                }
                afterReturn_ = c == '\r';
                c = afterReturn_ ? '\n' : c;
            }
            if (cdata_) {
                Put(c, out);
            } else {
                out->push_back(c);
            }
        }
    }

    // The bytes held back at the end of the document.
    void Finish(std::vector<char>* out) {
        out->insert(out->end(), kOpener, kOpener + opened_);
        out->insert(out->end(), closing_, ']');
        opened_ = 0;
        closing_ = 0;
    }

private:
    static constexpr char kOpener[] = "<![CDATA[";
    static constexpr size_t kOpenerLength = sizeof kOpener - 1;

    // The Windows code page of a one-byte encoding's name (lower case), 0 for any other.
    static UINT OneByteCodePage(const std::string& name) {
        static const struct {
            const char* name;
            UINT codePage;
        } kKnown[] = {{"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
                      {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255},
                      {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258},
                      {"cp1250", 1250},       {"cp1251", 1251},       {"cp1252", 1252},
                      {"iso-8859-1", 28591},  {"iso-8859-2", 28592},  {"iso-8859-4", 28594},
                      {"iso-8859-5", 28595},  {"iso-8859-7", 28597},  {"iso-8859-9", 28599},
                      {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"latin1", 28591},
                      {"koi8-r", 20866},      {"koi8-u", 21866}};
        for (const auto& known : kKnown) {
            if (name == known.name) {
                return known.codePage;
            }
        }
        return 0;
    }

    // The bytes as UTF-8 in utf8_; the declaration, the first time, names UTF-8 instead.
    void Convert(const char* bytes, size_t count) {
        utf8_.clear();
        const int length = static_cast<int>(count);
        wide_.resize(count > 0 ? count : 1);
        const int units = MultiByteToWideChar(codePage_, 0, bytes, length, wide_.data(), length);
        if (units <= 0) {
            return;
        }
        utf8_.resize(3 * static_cast<size_t>(units));
        const int written = WideCharToMultiByte(CP_UTF8, 0, wide_.data(), units, utf8_.data(),
                                                static_cast<int>(utf8_.size()), nullptr, nullptr);
        utf8_.resize(written > 0 ? static_cast<size_t>(written) : 0);
        if (!declarationDone_) {
            // The declaration is ASCII, so it sits at the same place in UTF-8.
            declarationDone_ = true;
            if (nameAt_ + nameLength_ <= utf8_.size()) {
                static const char kUtf8[] = "UTF-8";
                utf8_.erase(utf8_.begin() + static_cast<long>(nameAt_),
                            utf8_.begin() + static_cast<long>(nameAt_ + nameLength_));
                utf8_.insert(utf8_.begin() + static_cast<long>(nameAt_), kUtf8,
                             kUtf8 + sizeof kUtf8 - 1);
            }
        }
    }

    void Put(char c, std::vector<char>* out) {
        if (!inside_) {
            if (c == kOpener[opened_]) {
                if (++opened_ == kOpenerLength) {
                    inside_ = true;
                    opened_ = 0;
                }
                return;
            }
            out->insert(out->end(), kOpener, kOpener + opened_);
            opened_ = 0;
            if (c == kOpener[0]) {
                opened_ = 1;
                return;
            }
            out->push_back(c);
            return;
        }
        if (c == ']') {
            ++closing_;
            return;
        }
        if (c == '>' && closing_ >= 2) {
            out->insert(out->end(), closing_ - 2, ']');
            closing_ = 0;
            inside_ = false;
            return;
        }
        out->insert(out->end(), closing_, ']');
        closing_ = 0;
        const char* escaped = c == '<' ? "&lt;" : c == '&' ? "&amp;" : c == '>' ? "&gt;" : nullptr;
        if (escaped != nullptr) {
            out->insert(out->end(), escaped, escaped + strlen(escaped));
        } else {
            out->push_back(c);
        }
    }

    bool lines_ = true;
    bool cdata_ = true;
    UINT codePage_ = 0;
    size_t nameAt_ = 0;  // where the declaration's encoding name is, and its length
    size_t nameLength_ = 0;
    bool declarationDone_ = false;
    std::vector<wchar_t> wide_;
    std::vector<char> utf8_;
    bool afterReturn_ = false;
    bool inside_ = false;
    size_t opened_ = 0;   // how much of the opener the last bytes were
    size_t closing_ = 0;  // the "]" held inside a section
};

// The source as the stream the reader pulls from, rewritten on the way (DocumentRewriter). A
// read is filled whole unless the document ends, as the reader takes a short read for the end.
class SourceStream final : public IStream {
public:
    explicit SourceStream(XmlSource* source) : source_(source) {}
    bool failed() const { return failed_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, IID_ISequentialStream) ||
            IsEqualGUID(id, IID_IStream)) {
            *out = static_cast<IStream*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG room, ULONG* read) override {
        char* bytes = static_cast<char*>(buffer);
        ULONG filled = 0;
        while (filled < room) {
            if (taken_ < ready_.size()) {
                const size_t held = ready_.size() - taken_;
                const size_t piece = held < room - filled ? held : room - filled;
                memcpy(bytes + filled, ready_.data() + taken_, piece);
                taken_ += piece;
                filled += static_cast<ULONG>(piece);
                continue;
            }
            if (ended_) {
                break;
            }
            ready_.clear();
            taken_ = 0;
            const long got = source_->Read(raw_, sizeof raw_);
            if (got < 0) {
                // The reader is told the document ended there rather than that the stream
                // failed: it then reads what arrived, so that the items it holds stand, where an
                // error would make it drop what it has not parsed yet. The failure is kept for
                // the outcome.
                failed_ = true;
                ended_ = true;
                if (!looked_) {
                    RewriteHead();
                }
                rewriter_.Finish(&ready_);
                continue;
            }
            if (!looked_) {
                // The rewriting is decided on the document's declaration: its first bytes are
                // gathered until they hold it, however the source hands them.
                head_.insert(head_.end(), raw_, raw_ + got);
                if (got > 0 && head_.size() < DocumentRewriter::kHeadSize) {
                    continue;
                }
                RewriteHead();
            } else if (got > 0) {
                rewriter_.Rewrite(raw_, static_cast<size_t>(got), &ready_);
            }
            if (got == 0) {
                ended_ = true;
                rewriter_.Finish(&ready_);
            }
        }
        if (read != nullptr) {
            *read = filled;
        }
        return filled == room ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    // Decides the rewriting on the first bytes gathered, and rewrites them.
    void RewriteHead() {
        looked_ = true;
        rewriter_.Look(head_.data(), head_.size());
        rewriter_.Rewrite(head_.data(), head_.size(), &ready_);
        head_.clear();
    }

    XmlSource* source_;
    DocumentRewriter rewriter_;
    char raw_[16 * 1024];
    std::vector<char> head_;   // the first bytes, until the declaration is in
    std::vector<char> ready_;  // rewritten bytes not yet read
    size_t taken_ = 0;
    bool looked_ = false;
    bool ended_ = false;
    bool failed_ = false;
};

}  // namespace

struct XmlReader {
    ISAXXMLReader* reader = nullptr;
    bool comStarted = false;
    ContentAdapter content;
    ErrorAdapter errors;
};

XmlReader* OpenXmlReader(unsigned long* failure) {
    XmlReader* reader = new (std::nothrow) XmlReader;
    if (reader == nullptr) {
        if (failure != nullptr) {
            *failure = static_cast<unsigned long>(E_OUTOFMEMORY);
        }
        return nullptr;
    }
    // A thread that already runs COM in another apartment keeps it; the reader works in either.
    const HRESULT started = CoInitialize(nullptr);
    reader->comStarted = SUCCEEDED(started);
    const HRESULT made =
        CoCreateInstance(kClsidSaxXmlReader, nullptr, kReaderClassContext, kIidSaxXmlReader,
                         reinterpret_cast<void**>(&reader->reader));
    if (FAILED(made) || reader->reader == nullptr) {
        if (failure != nullptr) {
            *failure = static_cast<unsigned long>(made);
        }
        reader->reader = nullptr;
        CloseXmlReader(reader);
        return nullptr;
    }
    reader->reader->putContentHandler(&reader->content);
    reader->reader->putErrorHandler(&reader->errors);
    return reader;
}

XmlOutcome ReadXml(XmlReader* reader, XmlSource* source, XmlHandler* handler, XmlError* error) {
    XmlError ignored;
    reader->content.handler = handler;
    reader->errors.kept = error != nullptr ? error : &ignored;
    reader->errors.reported = false;
    SourceStream stream(source);
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_UNKNOWN;
    input.punkVal = static_cast<IStream*>(&stream);
    const HRESULT result = reader->reader->parse(input);
    if (stream.failed()) {
        return XmlOutcome::kSourceFailed;
    }
    if (FAILED(result)) {
        reader->errors.KeepCode(result);
        return XmlOutcome::kMalformed;
    }
    return XmlOutcome::kWellFormed;
}

void CloseXmlReader(XmlReader* reader) {
    if (reader == nullptr) {
        return;
    }
    // The reader lets go of the adapters when released, so they outlive it.
    if (reader->reader != nullptr) {
        reader->reader->Release();
    }
    if (reader->comStarted) {
        CoUninitialize();
    }
    delete reader;
}

bool SimulateMissingXmlReader(bool) {
    return false;
}
