// A name of any bytes in an upload URL: the encoded text holds only unreserved characters and
// %XX escapes, so nothing in it can end or split the query, and it decodes to the name.
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/score_exchange.h"

namespace {
bool isUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower-case digits would be a second spelling of the same byte
}

// False when the text holds anything but unreserved characters and complete escapes.
bool decode(const std::string& encoded, std::string& decoded) {
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (isUnreserved(encoded[i])) {
            decoded += encoded[i];
            continue;
        }
        if (encoded[i] != '%' || i + 2 >= encoded.size())
            return false;
        int high = hexValue(encoded[i + 1]), low = hexValue(encoded[i + 2]);
        if (high < 0 || low < 0)
            return false;
        char byte = char(high * 16 + low);
        // A byte that could stand as it is must not be escaped: one spelling per name.
        if (isUnreserved(byte))
            return false;
        decoded += byte;
        i += 2;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::string name(reinterpret_cast<const char*>(data), size);
    std::string encoded = encodeQueryValue(name);
    std::string decoded;
    FUZZ_CHECK(decode(encoded, decoded));
    FUZZ_CHECK(decoded == name);
    return 0;
}
