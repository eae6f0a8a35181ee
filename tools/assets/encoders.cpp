#include "tools/assets/encoders.h"

#include <algorithm>
#include <cstdio>

namespace {

const uint8_t tgaTrueColour = 2;
const uint8_t tgaBitsPerPixel = 32;
// Eight alpha bits, origin at the top left: every reader we tried agrees on this layout,
// while bottom-left files come out flipped in some image tools.
const uint8_t tgaDescriptor = 0x28;
const size_t pngStoredBlockLimit = 65535;

void putLittle16(Bytes& out, uint32_t value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void putLittle32(Bytes& out, uint32_t value) {
    putLittle16(out, value & 0xFFFF);
    putLittle16(out, value >> 16);
}

void putBig32(Bytes& out, uint32_t value) {
    out.push_back((value >> 24) & 0xFF);
    out.push_back((value >> 16) & 0xFF);
    out.push_back((value >> 8) & 0xFF);
    out.push_back(value & 0xFF);
}

void putText(Bytes& out, const char* text) {
    for (const char* c = text; *c; ++c)
        out.push_back(static_cast<uint8_t>(*c));
}

void putPngChunk(Bytes& out, const char* type, const Bytes& data) {
    putBig32(out, static_cast<uint32_t>(data.size()));
    Bytes typed;
    putText(typed, type);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putBig32(out, crc32(typed.data(), typed.size()));
}

Bytes zlibStored(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t length = std::min(pngStoredBlockLimit, raw.size() - offset);
        bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        putLittle16(out, static_cast<uint32_t>(length));
        putLittle16(out, static_cast<uint32_t>(~length & 0xFFFF));
        out.insert(out.end(), raw.begin() + offset, raw.begin() + offset + length);
        offset += length;
    } while (offset < raw.size());
    putBig32(out, adler32(raw.data(), raw.size()));
    return out;
}

} // namespace

Bytes encodeTga(const Image& image) {
    Bytes out = {0, 0, tgaTrueColour, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    putLittle16(out, image.width);
    putLittle16(out, image.height);
    out.push_back(tgaBitsPerPixel);
    out.push_back(tgaDescriptor);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Colour& c = image.at(x, y);
            out.push_back(toByte(c.b));
            out.push_back(toByte(c.g));
            out.push_back(toByte(c.r));
            out.push_back(toByte(c.a));
        }
    }
    return out;
}

Bytes encodePng(const Image& image) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    putBig32(header, image.width);
    putBig32(header, image.height);
    // 8 bits per channel, colour type 6 (RGBA), deflate, no filter method, no interlace.
    header.insert(header.end(), {8, 6, 0, 0, 0});
    putPngChunk(out, "IHDR", header);

    Bytes raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0); // filter type: none
        for (int x = 0; x < image.width; ++x) {
            const Colour& c = image.at(x, y);
            raw.insert(raw.end(), {toByte(c.r), toByte(c.g), toByte(c.b), toByte(c.a)});
        }
    }
    putPngChunk(out, "IDAT", zlibStored(raw));
    putPngChunk(out, "IEND", Bytes());
    return out;
}

Bytes encodeWav(const std::vector<int16_t>& samples, int channels, int sampleRate) {
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
    Bytes out;
    putText(out, "RIFF");
    putLittle32(out, 36 + dataBytes);
    putText(out, "WAVEfmt ");
    putLittle32(out, 16);
    putLittle16(out, 1); // PCM
    putLittle16(out, channels);
    putLittle32(out, sampleRate);
    putLittle32(out, sampleRate * channels * 2);
    putLittle16(out, channels * 2);
    putLittle16(out, 16);
    putText(out, "data");
    putLittle32(out, dataBytes);
    for (int16_t s : samples)
        putLittle16(out, static_cast<uint16_t>(s));
    return out;
}

uint32_t crc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

uint32_t adler32(const uint8_t* data, size_t length) {
    const uint32_t modulus = 65521;
    uint32_t a = 1;
    uint32_t b = 0;
    for (size_t i = 0; i < length; ++i) {
        a = (a + data[i]) % modulus;
        b = (b + a) % modulus;
    }
    return (b << 16) | a;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    bool closed = std::fclose(file) == 0;
    return written == bytes.size() && closed;
}
