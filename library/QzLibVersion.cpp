// QzLibVersion.cpp: the one place the library's version text lives.
#include "QzLibVersion.h"

const char* const kQzLibVersion = "1.00";
