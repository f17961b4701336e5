// Stands in for COM and the MSXML SAX2 reader: the interface shapes the feed reader uses
// (IUnknown, ISAXXMLReader, ISAXContentHandler, ISAXAttributes), the VARIANT and safe-array bits
// that carry the document, and CoInitialize, CoCreateInstance and CoUninitialize.
//
// The reader behind CoCreateInstance is driven by expat with namespace processing on. It delivers
// local names without prefix, attributes by index, character data in chunks (split where expat
// splits it, for example around entity references), entities, character references and CDATA
// content as character data, all as UTF-16. The document's encoding declaration or byte order mark
// decides the decoding, else UTF-8; single-byte and double-byte encodings that expat lacks are
// decoded through iconv. Namespace declarations appear in the element's attribute list with an
// empty local name, as the reader under Wine shows them, ahead of the element's other attributes.
// A parse error ends the events: no end tags are made up and endDocument is not called.
//
// Left out: features, properties, the locator (putDocumentLocator receives null), DTD, error and
// entity-resolver handlers, parseURL, ignorableWhitespace (whitespace comes as character data),
// and the attribute calls by name (they answer E_NOTIMPL).
#pragma once

#include <cstring>

#include "codepage_api.h"
#include "platform.h"

typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef unsigned short VARTYPE;
typedef short VARIANT_BOOL;

#define STDMETHODCALLTYPE

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}

// Safe arrays, one-dimensional byte arrays being all the system makes.
enum VARENUM : VARTYPE { VT_EMPTY = 0, VT_UI1 = 17, VT_ARRAY = 0x2000 };

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    unsigned short cDims;
    unsigned short fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

// Makes an array of `dims` dimensions (only 1 is supported) of element type VT_UI1, zero-filled;
// null when it cannot.
SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dims, SAFEARRAYBOUND* bounds);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);
// Fails with a locked array, as Windows does.
HRESULT SafeArrayDestroy(SAFEARRAY* array);

struct VARIANT {
    VARTYPE vt;
    unsigned short wReserved1, wReserved2, wReserved3;
    union {
        SAFEARRAY* parray;
        BYTE* pbVal;
        LONG lVal;
        void* byref;
    };
};

inline void VariantInit(VARIANT* value) {
    memset(value, 0, sizeof *value);
}

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};

struct ISAXLocator;
struct ISAXEntityResolver;
struct ISAXDTDHandler;
struct ISAXErrorHandler;

struct ISAXAttributes : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE getLength(int* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE getURI(int index, const WCHAR** uri, int* uriLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getLocalName(int index, const WCHAR** localName,
                                                   int* localNameLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getQName(int index, const WCHAR** qName,
                                               int* qNameLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getName(int index, const WCHAR** uri, int* uriLength,
                                              const WCHAR** localName, int* localNameLength,
                                              const WCHAR** qName, int* qNameLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getIndexFromName(const WCHAR* uri, int uriLength,
                                                       const WCHAR* localName, int localNameLength,
                                                       int* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE getIndexFromQName(const WCHAR* qName, int qNameLength,
                                                        int* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE getType(int index, const WCHAR** type, int* typeLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getTypeFromName(const WCHAR* uri, int uriLength,
                                                      const WCHAR* localName, int localNameLength,
                                                      const WCHAR** type, int* typeLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getTypeFromQName(const WCHAR* qName, int qNameLength,
                                                       const WCHAR** type, int* typeLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getValue(int index, const WCHAR** value,
                                               int* valueLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getValueFromName(const WCHAR* uri, int uriLength,
                                                       const WCHAR* localName, int localNameLength,
                                                       const WCHAR** value, int* valueLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE getValueFromQName(const WCHAR* qName, int qNameLength,
                                                        const WCHAR** value, int* valueLength) = 0;

protected:
    ~ISAXAttributes() = default;
};

struct ISAXContentHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) = 0;
    virtual HRESULT STDMETHODCALLTYPE startDocument() = 0;
    virtual HRESULT STDMETHODCALLTYPE endDocument() = 0;
    virtual HRESULT STDMETHODCALLTYPE startPrefixMapping(const WCHAR* prefix, int prefixLength,
                                                         const WCHAR* uri, int uriLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE endPrefixMapping(const WCHAR* prefix, int prefixLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE startElement(const WCHAR* uri, int uriLength,
                                                   const WCHAR* localName, int localNameLength,
                                                   const WCHAR* qName, int qNameLength,
                                                   ISAXAttributes* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE endElement(const WCHAR* uri, int uriLength,
                                                 const WCHAR* localName, int localNameLength,
                                                 const WCHAR* qName, int qNameLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE characters(const WCHAR* text, int length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ignorableWhitespace(const WCHAR* text, int length) = 0;
    virtual HRESULT STDMETHODCALLTYPE processingInstruction(const WCHAR* target, int targetLength,
                                                            const WCHAR* data, int dataLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE skippedEntity(const WCHAR* name, int nameLength) = 0;

protected:
    ~ISAXContentHandler() = default;
};

struct ISAXXMLReader : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE getFeature(const WCHAR* name, VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putFeature(const WCHAR* name, VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE getProperty(const WCHAR* name, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putProperty(const WCHAR* name, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE getEntityResolver(ISAXEntityResolver** resolver) = 0;
    virtual HRESULT STDMETHODCALLTYPE putEntityResolver(ISAXEntityResolver* resolver) = 0;
    virtual HRESULT STDMETHODCALLTYPE getContentHandler(ISAXContentHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE putContentHandler(ISAXContentHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE getDTDHandler(ISAXDTDHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE putDTDHandler(ISAXDTDHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE getErrorHandler(ISAXErrorHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE putErrorHandler(ISAXErrorHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE getBaseURL(const WCHAR** url) = 0;
    virtual HRESULT STDMETHODCALLTYPE putBaseURL(const WCHAR* url) = 0;
    virtual HRESULT STDMETHODCALLTYPE getSecureBaseURL(const WCHAR** url) = 0;
    virtual HRESULT STDMETHODCALLTYPE putSecureBaseURL(const WCHAR* url) = 0;
    // Reads a document given as a VT_ARRAY|VT_UI1 variant, delivering every event to the content
    // handler before it returns. S_OK for a well-formed document, E_FAIL after a parse error.
    virtual HRESULT STDMETHODCALLTYPE parse(VARIANT input) = 0;
    virtual HRESULT STDMETHODCALLTYPE parseURL(const WCHAR* url) = 0;

protected:
    ~ISAXXMLReader() = default;
};

// COM on the calling thread. The stand-in keeps no per-thread state: both only count.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// Knows one class, the SAX reader, and of it the interfaces ISAXXMLReader and IUnknown.
// REGDB_E_CLASSNOTREG for any other class, E_NOINTERFACE for any other interface.
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId,
                         void** out);
