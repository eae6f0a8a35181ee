// MD5 after RFC 1321's reference design, and the holder that signs one uploaded score.
#include "protocol/score_signature.h"

#include <cstdio>
#include <cstring>

namespace {
const unsigned char padding[64] = {0x80};

inline uint32_t rotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t auxF(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) | (~x & z);
}
inline uint32_t auxG(uint32_t x, uint32_t y, uint32_t z) {
    return (x & z) | (y & ~z);
}
inline uint32_t auxH(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t auxI(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (x | ~z);
}

typedef uint32_t (*AuxFunction)(uint32_t, uint32_t, uint32_t);

// One step: a = b + ((a + f(b, c, d) + word + constant) <<< shift).
inline void step(AuxFunction f, uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t word,
                 int shift, uint32_t constant) {
    a += f(b, c, d) + word + constant;
    a = rotateLeft(a, shift) + b;
}

// The 64 constants: the integer part of 2^32 * |sin(i)|, i = 1 to 64.
const uint32_t sineTable[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

const int roundShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
const AuxFunction roundFunctions[4] = {auxF, auxG, auxH, auxI};

// Which message word step i of round r reads: starts and strides of the four rounds.
inline int wordIndex(int round, int i) {
    static const int start[4] = {0, 1, 5, 0};
    static const int stride[4] = {1, 5, 3, 7};
    return (start[round] + stride[round] * i) % 16;
}

void encodeWords(unsigned char* output, const uint32_t* input, size_t length) {
    for (size_t i = 0, j = 0; j < length; ++i, j += 4) {
        output[j] = static_cast<unsigned char>(input[i] & 0xff);
        output[j + 1] = static_cast<unsigned char>((input[i] >> 8) & 0xff);
        output[j + 2] = static_cast<unsigned char>((input[i] >> 16) & 0xff);
        output[j + 3] = static_cast<unsigned char>((input[i] >> 24) & 0xff);
    }
}

void decodeWords(uint32_t* output, const unsigned char* input, size_t length) {
    for (size_t i = 0, j = 0; j < length; ++i, j += 4)
        output[i] = uint32_t(input[j]) | (uint32_t(input[j + 1]) << 8) |
                    (uint32_t(input[j + 2]) << 16) | (uint32_t(input[j + 3]) << 24);
}
} // namespace

void md5Init(Md5Context* context) {
    context->bitCount[0] = context->bitCount[1] = 0;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
}

void md5Update(Md5Context* context, const unsigned char* input, size_t length) {
    size_t index = (context->bitCount[0] >> 3) & 0x3f;
    uint32_t addedBits = static_cast<uint32_t>(length << 3);
    context->bitCount[0] += addedBits;
    if (context->bitCount[0] < addedBits)
        context->bitCount[1]++;
    context->bitCount[1] += static_cast<uint32_t>(length >> 29);

    size_t partLength = 64 - index;
    size_t i = 0;
    if (length >= partLength) {
        memcpy(&context->buffer[index], input, partLength);
        md5Transform(context->state, context->buffer);
        for (i = partLength; i + 63 < length; i += 64)
            md5Transform(context->state, &input[i]);
        index = 0;
    }
    if (length > i)
        memcpy(&context->buffer[index], &input[i], length - i);
}

void md5Final(unsigned char digest[16], Md5Context* context) {
    unsigned char bits[8];
    encodeWords(bits, context->bitCount, 8);
    size_t index = (context->bitCount[0] >> 3) & 0x3f;
    size_t padLength = (index < 56) ? (56 - index) : (120 - index);
    md5Update(context, padding, padLength);
    md5Update(context, bits, 8);
    encodeWords(digest, context->state, 16);
    // Leave nothing of the message behind in memory.
    memset(context, 0, sizeof(*context));
}

void md5Transform(uint32_t state[4], const unsigned char block[64]) {
    uint32_t words[16];
    decodeWords(words, block, 64);
    uint32_t r[4] = {state[0], state[1], state[2], state[3]};
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 16; ++i) {
            // The registers rotate a, d, c, b from one step to the next.
            int a = (16 - i) % 4, b = (17 - i) % 4, c = (18 - i) % 4, d = (19 - i) % 4;
            step(roundFunctions[round], r[a], r[b], r[c], r[d], words[wordIndex(round, i)],
                 roundShifts[round][i % 4], sineTable[round * 16 + i]);
        }
    }
    for (int i = 0; i < 4; ++i)
        state[i] += r[i];
    memset(words, 0, sizeof(words));
}

ScoreSignature::ScoreSignature() {
    hexDigest[32] = '\0';
}

ScoreSignature::~ScoreSignature() {}

bool ScoreSignature::compute(const char* text) {
    input = text;
    // No text is no message: refuse it rather than read through a null pointer.
    valid = text != nullptr && hashInput();
    return valid;
}

const char* ScoreSignature::hexString() const {
    return valid ? hexDigest : nullptr;
}

bool ScoreSignature::hashInput() {
    Md5Context context;
    md5Init(&context);
    md5Update(&context, reinterpret_cast<const unsigned char*>(input), strlen(input));
    md5Final(digest, &context);
    for (int i = 0; i < 16; ++i)
        snprintf(&hexDigest[2 * i], 3, "%02x", unsigned(digest[i]));
    return true;
}
