// The version rule over any two texts (split at the first newline): never both newer than
// the other, never newer than itself.

#include "update/UpdateChecker.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    const QString a = QString::fromUtf8(input.left(newline < 0 ? input.size() : newline));
    const QString b = newline < 0 ? QString() : QString::fromUtf8(input.mid(newline + 1));
    if ((UpdateChecker::isNewer(a, b) && UpdateChecker::isNewer(b, a)) || UpdateChecker::isNewer(a, a))
        std::abort();
    return 0;
}
