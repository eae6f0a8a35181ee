// MD5 (RFC 1321) and the holder that signs an uploaded score.
#pragma once

#include <cstddef>
#include <cstdint>

struct Md5Context {
    uint32_t state[4];
    uint32_t bitCount[2];
    unsigned char buffer[64];
};

void md5Init(Md5Context* context);
void md5Update(Md5Context* context, const unsigned char* input, size_t length);
void md5Final(unsigned char digest[16], Md5Context* context);
void md5Transform(uint32_t state[4], const unsigned char block[64]);

class ScoreSignature {
  public:
    ScoreSignature();
    virtual ~ScoreSignature();
    bool compute(const char* text);
    // The 32 hex digits of the last digest; null before the first compute.
    const char* hexString() const;

    bool valid = false;
    unsigned char digest[16] = {};
    char hexDigest[33] = {};
    const char* input = nullptr;

  private:
    bool hashInput();
};
