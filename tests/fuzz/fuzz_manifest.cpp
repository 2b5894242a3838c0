// The manifest decoder over any body: it answers a manifest or a message, and a manifest it
// answers holds a version and an absolute archive address.

#include "update/UpdateChecker.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto manifest
        = UpdateChecker::decodeManifest(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (const auto* decoded = std::get_if<UpdateChecker::Manifest>(&manifest)) {
        if (!decoded->url.isValid() || decoded->url.isRelative())
            std::abort();
    } else if (std::get<QString>(manifest).isEmpty()) {
        std::abort();
    }
    return 0;
}
