// objbase.h: COM as far as the library uses it: per-thread initialisation, the base
// interface every object answers, and CoCreateInstance, a factory over the platform's
// own classes (DirectShow, DirectMusic ... register theirs in platform/src/com/).
// Included by win32.h.
#pragma once

#include <cstring>

#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)

#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

// The base of every interface: reference counted, asked for further interfaces by id.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects end through Release
};
typedef IUnknown* LPUNKNOWN;

extern const IID IID_IUnknown;

// S_OK on the thread's first call, S_FALSE on later ones; each successful call is
// matched by one CoUninitialize.
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
// Makes an object of a registered class on a thread that has COM; REGDB_E_CLASSNOTREG
// for a class nobody registered, CO_E_NOTINITIALIZED before CoInitialize.
HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
