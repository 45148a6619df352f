// com/unknown.h: QueryInterface for the objects that answer one interface under one or
// more ids (plus IUnknown), so each class states only its ids.
#pragma once

#include <initializer_list>

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

}  // namespace com
