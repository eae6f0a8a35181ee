// Byte-exact encoders for the file formats the game and the desktop read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/image.h"

using Bytes = std::vector<uint8_t>;

// Uncompressed 32-bit BGRA TGA with an 8-bit alpha channel, top row first.
Bytes encodeTga(const Image& image);

// 8-bit RGBA PNG, compressed with zlib. Empty when compression fails.
Bytes encodePng(const Image& image);

// 16-bit signed PCM WAV; samples interleaved when there is more than one channel.
Bytes encodeWav(const std::vector<int16_t>& samples, int channels, int sampleRate);

// Writes the whole buffer; false when the file cannot be created or fully written.
bool writeFile(const std::string& path, const Bytes& bytes);
