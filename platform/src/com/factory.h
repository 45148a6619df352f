// com/factory.h: the classes CoCreateInstance can make. Each interface family of the
// platform (DirectShow, DirectMusic ...) adds its classes to kClasses in classes.cpp;
// tests may register more at run time.
#pragma once

#include "platform/win32.h"

namespace com {

// Makes a new object and answers the interface asked for (its reference is the
// caller's), or fails with an HRESULT.
using Creator = HRESULT (*)(REFIID iid, void** object);

struct ClassEntry {
    CLSID classId;
    Creator create;
};

// The built-in classes (classes.cpp), ended by an entry with a null creator.
extern const ClassEntry kClasses[];

// Adds a class at run time; a class id already known is replaced. Any thread.
void RegisterClass(REFCLSID classId, Creator create);

// The creator of a class, or null.
Creator FindClass(REFCLSID classId);

}  // namespace com
