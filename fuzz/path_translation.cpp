// Path translation on arbitrary bytes: parsing and converting a Windows name, resolving
// it against the file system (read-only: stat and directory reads), and showing a
// Linux path on drive C:. Looks for crashes and broken invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kernel/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);

    kernel::ParsedPath parsed;
    if (kernel::ParsePath(bytes, &parsed) == 0) {
        for (const std::string& part : parsed.parts)
            if (part.empty() || part.find('/') != std::string::npos || part.find('\0') != std::string::npos) std::abort();
        std::string linuxPath = kernel::LinuxPathOf(parsed);
        if (linuxPath.empty() || (parsed.absolute && linuxPath[0] != '/')) std::abort();
    }

    kernel::ResolvedPath resolved;
    if (kernel::ResolvePath(bytes.c_str(), &resolved) == 0 && resolved.path.empty()) std::abort();

    // The other direction takes any bytes a Linux name may hold.
    std::string shown = kernel::DrivePathOf("/" + bytes);
    if (shown.compare(0, 3, "C:\\") != 0) std::abort();
    return 0;
}
