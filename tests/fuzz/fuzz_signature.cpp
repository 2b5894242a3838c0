// The signature and public key parsers over any text, and verification of any signature file
// against a fixed key and message: a forged signature must never verify.

#include "verify/Minisign.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    Minisign::parseSignature(input);
    Minisign::parsePublicKey(input);
    static const auto key = Minisign::parsePublicKey("RWQz5Y6W1c8ZaXnrbqcojSKxjjUjvoSpC4Fq4w8rIwNPIzbwywVDzTeK");
    if (!key || Minisign::verify(*key, "a message", input))
        std::abort();
    return 0;
}
