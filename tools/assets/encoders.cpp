#include "tools/assets/encoders.h"

#include <zlib.h>

#include <cstdio>

namespace {

const uint8_t tgaTrueColour = 2;
const uint8_t tgaBitsPerPixel = 32;
// Eight alpha bits, origin at the top left: every reader we tried agrees on this layout,
// while bottom-left files come out flipped in some image tools.
const uint8_t tgaDescriptor = 0x28;

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
    putBig32(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// zlib's strongest setting: the output is the same on every run, and the pictures are
// written once, so speed does not matter.
Bytes zlibCompress(const Bytes& raw) {
    uLongf length = compressBound(raw.size());
    Bytes out(length);
    if (compress2(out.data(), &length, raw.data(), raw.size(), Z_BEST_COMPRESSION) != Z_OK)
        return Bytes();
    out.resize(length);
    return out;
}

// Each row is stored as the difference to the pixel on its left (PNG filter "sub"): the
// soft gradients of the pictures then turn into long runs of small values that deflate well.
Bytes filteredRows(const Image& image) {
    const int channels = 4;
    Bytes raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(1);
        uint8_t left[channels] = {0, 0, 0, 0};
        for (int x = 0; x < image.width; ++x) {
            const Colour& c = image.at(x, y);
            const uint8_t pixel[channels] = {toByte(c.r), toByte(c.g), toByte(c.b), toByte(c.a)};
            for (int k = 0; k < channels; ++k) {
                raw.push_back(static_cast<uint8_t>(pixel[k] - left[k]));
                left[k] = pixel[k];
            }
        }
    }
    return raw;
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
    // 8 bits per channel, colour type 6 (RGBA), deflate, per-row filters, no interlace.
    header.insert(header.end(), {8, 6, 0, 0, 0});
    putPngChunk(out, "IHDR", header);

    Bytes compressed = zlibCompress(filteredRows(image));
    if (compressed.empty())
        return Bytes();
    putPngChunk(out, "IDAT", compressed);
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

bool writeFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    bool closed = std::fclose(file) == 0;
    return written == bytes.size() && closed;
}
