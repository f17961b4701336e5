#include "feed/sax_handler.h"

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::QueryInterface(REFIID interfaceId, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (IsEqualGUID(interfaceId, kIidUnknown) || IsEqualGUID(interfaceId, kIidSaxContentHandler)) {
        *out = static_cast<ISAXContentHandler*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE SaxContentHandlerBase::AddRef() {
    return 0;
}

ULONG STDMETHODCALLTYPE SaxContentHandlerBase::Release() {
    return 0;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::putDocumentLocator(ISAXLocator*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::startDocument() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::endDocument() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::startPrefixMapping(const WCHAR*, int, const WCHAR*,
                                                                    int) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::endPrefixMapping(const WCHAR*, int) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::startElement(const WCHAR*, int, const WCHAR*, int,
                                                              const WCHAR*, int, ISAXAttributes*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::endElement(const WCHAR*, int, const WCHAR*, int,
                                                            const WCHAR*, int) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::characters(const WCHAR*, int) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::ignorableWhitespace(const WCHAR*, int) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::processingInstruction(const WCHAR*, int,
                                                                       const WCHAR*, int) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SaxContentHandlerBase::skippedEntity(const WCHAR*, int) {
    return S_OK;
}

SaxContentHandlerBase::~SaxContentHandlerBase() = default;
