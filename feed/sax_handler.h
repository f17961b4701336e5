// A SAX content handler whose operations do nothing, for handlers to derive from.
#pragma once

#include "platform/sax_reader.h"

// Implements the reader's content-handler interface with operations that all report success.
// It counts no references: AddRef and Release return 0 and never destroy the object, so whoever
// makes a handler destroys it, after the reader that holds it has been released.
class SaxContentHandlerBase : public ISAXContentHandler {
public:
    // Answers for IUnknown and ISAXContentHandler with this object; for any other interface
    // stores null and returns E_NOINTERFACE.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) override;
    HRESULT STDMETHODCALLTYPE startDocument() override;
    HRESULT STDMETHODCALLTYPE endDocument() override;
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const WCHAR* prefix, int prefixLength,
                                                 const WCHAR* uri, int uriLength) override;
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const WCHAR* prefix, int prefixLength) override;
    HRESULT STDMETHODCALLTYPE startElement(const WCHAR* uri, int uriLength, const WCHAR* localName,
                                           int localNameLength, const WCHAR* qName, int qNameLength,
                                           ISAXAttributes* attributes) override;
    HRESULT STDMETHODCALLTYPE endElement(const WCHAR* uri, int uriLength, const WCHAR* localName,
                                         int localNameLength, const WCHAR* qName,
                                         int qNameLength) override;
    HRESULT STDMETHODCALLTYPE characters(const WCHAR* text, int length) override;
    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const WCHAR* text, int length) override;
    HRESULT STDMETHODCALLTYPE processingInstruction(const WCHAR* target, int targetLength,
                                                    const WCHAR* data, int dataLength) override;
    HRESULT STDMETHODCALLTYPE skippedEntity(const WCHAR* name, int nameLength) override;

    virtual ~SaxContentHandlerBase();
};
