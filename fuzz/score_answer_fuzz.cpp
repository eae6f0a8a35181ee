// A score server's answer as the retriever gathers it, in pieces of any size as the connection
// delivers them: what is kept stops at the limit, and the text is each 8191-byte piece up to its
// first NUL, as a plain byte-by-byte reading of that rule gives it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/fuzz_check.h"
#include "http/http_retriever.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const size_t limit = input.ConsumeIntegralInRange<size_t>(0, 2 * bodyPieceSize + 2);
    std::string body, sent, expected;
    while (input.remaining_bytes() > 0) {
        const std::string piece = input.ConsumeRandomLengthString(bodyPieceSize + 2);
        const size_t kept = appendBodyPiece(body, piece.data(), piece.size(), limit);
        sent += piece;
        FUZZ_CHECK(kept <= piece.size() && body == sent.substr(0, limit));
    }
    for (size_t i = 0, afterNul = 0; i < body.size(); ++i) {
        afterNul = body[i] == '\0' ? i + 1 : afterNul;
        if (afterNul <= i - i % bodyPieceSize) // no NUL in the piece so far
            expected += body[i];
    }
    char* text = newResponseText(body);
    FUZZ_CHECK(expected == text);
    delete[] text;
    return 0;
}
