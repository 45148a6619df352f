// QzGraphicsImage.cpp: releasing decoded pictures. Callers hold the library lock.
#include "QzGraphicsImage.h"

#include <cstring>

#include "QzWinMemory.h"

int FreeGraphImage(GraphImage* image) {
    if (image->pixels != nullptr) FreeMemory(image->pixels);
    std::memset(image, 0, sizeof(*image));
    return 0;
}
