// A response body delivered in pieces of any size and content: the retriever keeps no more
// than its limit, ends the transfer once the limit is reached, and hands back a NUL-terminated
// text that is each 8191-byte read of the body up to that read's first NUL.
#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "http/http_retriever.h"

// Input: one byte choosing the limit (the game's own, or a small one from the next two bytes),
// then deliveries: two bytes of length, one of repeat count (1 to 64), and the length's bytes.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    size_t at = 0;
    auto take = [&]() -> size_t { return at < size ? data[at++] : 0; };
    auto takeTwo = [&] {
        size_t low = take();
        return low | take() << 8;
    };
    size_t limit = HttpLimits().maxBodyBytes;
    if (take() & 1)
        limit = takeTwo();

    std::string body, delivered;
    bool ended = false;
    while (!ended && at < size) {
        size_t length = takeTwo();
        size_t repeats = 1 + take() % 64;
        length = std::min(length, size - at);
        const char* piece = reinterpret_cast<const char*>(data + at);
        at += length;
        for (size_t r = 0; r < repeats && !ended; ++r) {
            size_t kept = appendBodyPiece(body, piece, length, limit);
            if (delivered.size() <= limit)
                delivered.append(piece, length);
            FUZZ_CHECK(kept <= length && body.size() <= limit);
            // Less than the whole piece tells the connection to stop.
            ended = kept < length;
        }
    }
    FUZZ_CHECK(body == delivered.substr(0, limit));

    // Each read of the body as a plain loop would make it, cut at its first NUL.
    std::string expected;
    for (size_t from = 0; from < body.size(); from += bodyPieceSize)
        expected += body.substr(from, bodyPieceSize).c_str();
    char* text = newResponseText(body);
    FUZZ_CHECK(std::strlen(text) == expected.size() && expected == text);
    delete[] text;
    return 0;
}
