// A response body delivered in pieces of any size and content: the retriever keeps no more
// than its limit, ends the transfer once the limit is reached, and hands back a NUL-terminated
// text that is each 8191-byte read of the body up to that read's first NUL.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/http_retriever.h"

namespace {
// Reads of the body as a plain loop would make them, each cut at its first NUL.
std::string expectedText(const std::string& body) {
    std::string text;
    text.reserve(body.size());
    bool cut = false;
    for (size_t i = 0; i < body.size(); ++i) {
        if (i % bodyPieceSize == 0)
            cut = false;
        if (body[i] == '\0')
            cut = true;
        if (!cut)
            text += body[i];
    }
    return text;
}

class Input {
  public:
    Input(const unsigned char* data, size_t size) : data(data), size(size) {}
    size_t left() const { return size - at; }
    unsigned take() { return at < size ? data[at++] : 0; }
    const char* takeBytes(size_t count) {
        const char* bytes = reinterpret_cast<const char*>(data + at);
        at += count;
        return bytes;
    }

  private:
    const unsigned char* data;
    size_t size;
    size_t at = 0;
};
} // namespace

// Input: one byte choosing the limit (the game's own, or a small one from the next two bytes),
// then deliveries: two bytes of length, one of repeat count (1 to 64), and the length's bytes.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    Input input(data, size);
    size_t limit = HttpLimits().maxBodyBytes;
    if (input.take() & 1)
        limit = input.take() | input.take() << 8;

    std::string body, delivered;
    bool ended = false;
    while (!ended && input.left() > 0) {
        size_t length = input.take() | input.take() << 8;
        size_t repeats = 1 + input.take() % 64;
        if (length > input.left())
            length = input.left();
        const char* piece = input.takeBytes(length);
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

    char* text = newResponseText(body);
    std::string expected = expectedText(body);
    FUZZ_CHECK(std::strlen(text) == expected.size());
    FUZZ_CHECK(std::memcmp(text, expected.data(), expected.size()) == 0);
    delete[] text;
    return 0;
}
