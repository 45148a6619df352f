// com/unknown.h: QueryInterface for the objects that answer one interface under one or
// more ids (plus IUnknown), so each class states only its ids.
#pragma once

#include <initializer_list>

#include "kernel/diag.h"
#include "platform/win32.h"

namespace com {

// The object as `As` with a new reference when `iid` is IUnknown or one of `ids`;
// otherwise E_NOINTERFACE with the out pointer cleared.
template <typename As, typename Object>
HRESULT AnswerAs(Object* self, REFIID iid, void** object, std::initializer_list<IID> ids) {
    if (object == nullptr)
        return E_POINTER;
    bool known = iid == IID_IUnknown;
    for (const IID& id : ids)
        known = known || iid == id;
    if (!known) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<As*>(self);
    self->AddRef();
    return S_OK;
}

// One interface of an object with several: its id, the object seen as it, and the name of
// a fault that makes asking for it fail (null: none).
struct Interface {
    IID iid;
    void* as;
    const char* fault = nullptr;
};

// QueryInterface over an object's interfaces; IUnknown answers with the first one's view.
template <typename Object>
HRESULT AnswerFrom(Object* self, REFIID iid, void** object, std::initializer_list<Interface> interfaces) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    for (const Interface& i : interfaces) {
        if (iid != i.iid && !(iid == IID_IUnknown && &i == interfaces.begin()))
            continue;
        if (i.fault != nullptr && kernel::ConsumeFault(i.fault))
            return E_NOINTERFACE;
        *object = i.as;
        self->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

}  // namespace com
