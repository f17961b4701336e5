#include "feed/parse_feed.h"

#include <climits>
#include <cstring>
#include <new>

#include "feed/feed_handler.h"
#include "base/status.h"
#include "platform/sax_reader.h"

namespace {

// In-process server, in-process handler and local server.
constexpr DWORD kReaderClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// Hands the document to the reader as one byte array; every item callback runs inside.
void ReadDocument(ISAXXMLReader* reader, FeedContentHandler* handler, const char* document) {
    reader->putContentHandler(handler);
    size_t length = strlen(document);
    // A safe array counts its elements in a LONG-sized field.
    if (length > static_cast<size_t>(LONG_MAX)) {
        return;
    }
    SAFEARRAYBOUND bound;
    bound.lLbound = 0;
    bound.cElements = static_cast<ULONG>(length);
    SAFEARRAY* bytes = SafeArrayCreate(VT_UI1, 1, &bound);
    if (bytes == nullptr) {
        return;
    }
    if (SUCCEEDED(SafeArrayLock(bytes))) {
        memcpy(bytes->pvData, document, length);
        SafeArrayUnlock(bytes);
        VARIANT input;
        VariantInit(&input);
        input.vt = VT_ARRAY | VT_UI1;
        input.parray = bytes;
        // A malformed document ends the reading at its error; the items before it stand.
        reader->parse(input);
    }
    SafeArrayDestroy(bytes);
}

}  // namespace

int ParseFeed(const char* document, FeedItemCallback itemCallback, const char* folderId) {
    if (document == nullptr) {
        return -1;
    }
    CoInitialize(nullptr);
    ISAXXMLReader* reader = nullptr;
    HRESULT result = CoCreateInstance(kClsidSaxXmlReader, nullptr, kReaderClassContext,
                                      kIidSaxXmlReader, reinterpret_cast<void**>(&reader));
    if (FAILED(result) || reader == nullptr) {
        ShowStatus("\nUpdate %s Error: %08X\n\n", folderId != nullptr ? folderId : "",
                   static_cast<unsigned int>(result));
    } else {
        FeedContentHandler* handler = new (std::nothrow) FeedContentHandler(itemCallback, folderId);
        if (handler != nullptr) {
            ReadDocument(reader, handler, document);
        }
        // The reader lets go of the handler when released, so the handler outlives it.
        reader->Release();
        delete handler;
    }
    CoUninitialize();
    return 0;
}
