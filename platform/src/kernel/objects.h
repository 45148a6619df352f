// kernel/objects.h: the one table of kernel handles. Every HANDLE the kernel gives out
// (files, events, threads) names an object of a known kind; a closed or wrong-kind
// handle is refused, never dereferenced. Handle values are not reused.
#pragma once

#include <memory>

#include "platform/win32.h"

namespace kernel {

enum class ObjectKind { File, Event, Thread };

struct Object {
    explicit Object(ObjectKind k) : kind(k) {}
    virtual ~Object() = default;
    const ObjectKind kind;
};

// Enters the object in the table and returns its new handle.
HANDLE AddObject(std::shared_ptr<Object> object);

// The object behind a handle when it is open and of the kind asked for, else null.
std::shared_ptr<Object> FindObject(HANDLE handle);
template <typename T>
std::shared_ptr<T> FindObject(HANDLE handle, ObjectKind kind) {
    std::shared_ptr<Object> object = FindObject(handle);
    if (!object || object->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
}

// Takes the handle out of the table; false when it was not open.
bool RemoveObject(HANDLE handle);

}  // namespace kernel
