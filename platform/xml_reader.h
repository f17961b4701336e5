// The XML reader: reads one document from a source of bytes, as they arrive, and tells a handler
// what it holds, element by element, in UTF-8. Win32: the platform's SAX2 reader (MSXML through
// COM), which pulls the bytes through a stream. POSIX: expat, pushed the bytes a piece at a time.
//
// What every reader does the same way:
// - the document's encoding is the one its declaration or byte order mark names, else UTF-8, and
//   every text the handler sees is UTF-8;
// - namespaces are processed: a name is its namespace URI (empty for none) and its local name,
//   without the prefix; namespace declarations are no attributes;
// - entities, character references and CDATA sections arrive as text; an element's text may come
//   in several pieces, and the handler joins them;
// - a document that is not well formed ends the events at its error: no end tags are made up,
//   and the error's words and position are kept for the caller.
#pragma once

#include <cstddef>
#include <cstring>

// A name as the handler gets it; neither text is terminated.
struct XmlName {
    const char* uri;  // empty (length 0) when the name is in no namespace
    size_t uriLength;
    const char* local;
    size_t localLength;
};

// One attribute of an element. Its value is whole, entities resolved; not terminated.
struct XmlAttribute {
    XmlName name;
    const char* value;
    size_t valueLength;
};

// What the reader calls, on the thread that asked it to read, one event at a time. Everything it
// is handed is valid only during the call.
class XmlHandler {
public:
    virtual void StartElement(const XmlName& name, const XmlAttribute* attributes,
                              size_t count) = 0;
    virtual void EndElement(const XmlName& name) = 0;
    virtual void Text(const char* text, size_t length) = 0;

protected:
    ~XmlHandler() = default;
};

// Where the reader takes the document's bytes from.
class XmlSource {
public:
    // Puts up to `room` bytes of the document into `buffer` and answers how many; 0 when the
    // document has ended, -1 when the source failed, which ends the reading there.
    virtual long Read(char* buffer, size_t room) = 0;

protected:
    ~XmlSource() = default;
};

// A document held whole in memory, handed to the reader as it asks.
class MemoryXmlSource final : public XmlSource {
public:
    MemoryXmlSource(const char* bytes, size_t length) : at_(bytes), left_(length) {}
    long Read(char* buffer, size_t room) override {
        // A read answers a long; no piece a reader asks for comes near its limit.
        const size_t taken = left_ < room ? left_ : room;
        memcpy(buffer, at_, taken);
        at_ += taken;
        left_ -= taken;
        return static_cast<long>(taken);
    }

private:
    const char* at_;
    size_t left_;
};

// How a reading ended.
enum class XmlOutcome {
    kWellFormed,    // the whole document was read
    kMalformed,     // the document is not well formed (or its encoding is unknown): see XmlError
    kSourceFailed,  // the source answered -1 before the document ended
};

// The capacity of an error's words, terminator included.
constexpr size_t kXmlErrorWordsCapacity = 160;

// Why a document is not well formed, and where: its line and column, from 1 (0 when the reader
// cannot tell).
struct XmlError {
    unsigned long line = 0;
    unsigned long column = 0;
    char words[kXmlErrorWordsCapacity] = {};
};

struct XmlReader;

// Makes a reader for the calling thread, which then reads every document it is given there. Null
// when the platform has none; `failure` then holds the platform's code for why (on Windows the
// result of creating the COM object).
XmlReader* OpenXmlReader(unsigned long* failure);

// Reads one document from `source` into `handler`, every event before it returns. `error` is
// filled when the outcome is kMalformed. A reader reads one document at a time, and may read
// another after it.
XmlOutcome ReadXml(XmlReader* reader, XmlSource* source, XmlHandler* handler, XmlError* error);

// Gives the reader up, on the thread that opened it.
void CloseXmlReader(XmlReader* reader);

// For tests: while `missing` is set, OpenXmlReader fails with the code of a class that is not
// registered (0x80040154), as on a system without a reader. Returns whether the platform can
// pretend so; the real one cannot.
bool SimulateMissingXmlReader(bool missing);
