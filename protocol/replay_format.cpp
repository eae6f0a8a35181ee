#include "protocol/replay_format.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

namespace {
const char replayMagic[4] = {'O', 'R', 'B', 'R'};
const size_t crcBytes = 4;
// The longest a frame's milliseconds take as a base-128 number.
const size_t maxMillisBytes = 5;

void putByte(std::string& out, uint8_t value) {
    out += char(value);
}

void putWord(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        putByte(out, uint8_t(value >> (8 * i)));
}

void putFloat(std::string& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putWord(out, bits);
}

void putVarint(std::string& out, uint32_t value) {
    while (value >= 0x80) {
        putByte(out, uint8_t(value | 0x80));
        value >>= 7;
    }
    putByte(out, uint8_t(value));
}

// The inputs first, then the milliseconds: each column repeats itself, which deflate packs
// far better than the two interleaved.
std::string frameColumns(const std::vector<ReplayFrame>& frames) {
    std::string columns;
    for (const ReplayFrame& frame : frames)
        putByte(columns, frame.input);
    for (const ReplayFrame& frame : frames)
        putVarint(columns, frame.millis);
    return columns;
}

std::string deflateText(const std::string& text) {
    uLongf packedSize = compressBound(uLong(text.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
              reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), Z_BEST_COMPRESSION);
    packed.resize(packedSize);
    return packed;
}

uint32_t crcOf(const char* bytes, size_t size) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bytes), uInt(size)));
}

// Reads the file front to back; once anything is missing every later read fails too.
struct Cursor {
    const std::string& bytes;
    size_t at;
    size_t end;
    bool ok = true;

    const char* take(size_t count) {
        if (!ok || end - at < count) {
            ok = false;
            return nullptr;
        }
        const char* taken = bytes.data() + at;
        at += count;
        return taken;
    }
    uint8_t byte() {
        const char* b = take(1);
        return b ? uint8_t(*b) : 0;
    }
    uint32_t word() {
        const char* b = take(4);
        uint32_t value = 0;
        for (int i = 0; b && i < 4; ++i)
            value |= uint32_t(uint8_t(b[i])) << (8 * i);
        return value;
    }
    float decimal() {
        uint32_t bits = word();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
};

// Exactly limit bytes of output or fewer; false on damaged data, on data that would unpack to
// more, and on anything after the packed stream's end.
bool inflateBounded(const char* packed, size_t size, size_t limit, std::string* text) {
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return false;
    text->assign(limit + 1, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed));
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef*>(&(*text)[0]);
    stream.avail_out = uInt(limit + 1);
    const int result = inflate(&stream, Z_FINISH);
    const size_t produced = limit + 1 - stream.avail_out;
    const bool whole = result == Z_STREAM_END && stream.avail_in == 0 && produced <= limit;
    inflateEnd(&stream);
    text->resize(produced);
    return whole;
}

uint32_t readVarint(const std::string& text, size_t& at, bool& ok) {
    uint32_t value = 0;
    for (size_t shift = 0; shift < 7 * maxMillisBytes; shift += 7) {
        if (at >= text.size()) {
            ok = false;
            return 0;
        }
        const uint8_t b = uint8_t(text[at++]);
        // The fifth byte holds the top four bits; more would not fit 32 bits.
        if (shift == 28 && b > 0x0F) {
            ok = false;
            return 0;
        }
        value |= uint32_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return value;
    }
    ok = false;
    return 0;
}

bool readFrames(const std::string& columns, std::vector<ReplayFrame>* frames) {
    const size_t count = frames->size();
    if (columns.size() < count)
        return false;
    size_t at = count;
    bool ok = true;
    for (size_t i = 0; i < count && ok; ++i) {
        ReplayFrame& frame = (*frames)[i];
        frame.input = uint8_t(columns[i]);
        frame.millis = readVarint(columns, at, ok);
        ok = ok && frame.millis > 0 && (frame.input & ~replayKnownInputBits) == 0;
    }
    return ok && at == columns.size();
}

bool readName(Cursor& in, std::string* name) {
    const size_t length = in.byte();
    const char* bytes = in.take(length);
    if (!bytes || length > replayMaxNameLength || std::memchr(bytes, '\0', length))
        return false;
    name->assign(bytes, length);
    return true;
}

bool readStart(Cursor& in, ReplayStart* start) {
    start->randomState = in.word();
    start->eventKind = in.byte();
    start->savedBubbleSpeed = in.decimal();
    start->savedSpikeSpeed = in.decimal();
    start->musicTrack = in.byte();
    const uint8_t nameEntryOpen = in.byte();
    start->nameEntryOpen = nameEntryOpen == 1;
    const size_t low = in.byte();
    const size_t count = low | size_t(in.byte()) << 8;
    const char* bits = in.take((count + 7) / 8);
    if (!bits)
        return false;
    start->collectable.assign(count, false);
    for (size_t i = 0; i < count; ++i)
        start->collectable[i] = (uint8_t(bits[i / 8]) >> (i % 8)) & 1;
    return start->eventKind <= 2 && start->musicTrack <= 2 && nameEntryOpen <= 1 &&
           std::isfinite(start->savedBubbleSpeed) && std::isfinite(start->savedSpikeSpeed);
}

bool readBody(Cursor& in, Replay* replay) {
    const uint32_t frameCount = in.word();
    if (!readStart(in, &replay->start) || frameCount > replayMaxFrames)
        return false;
    const uint32_t packedSize = in.word();
    const char* packed = in.take(packedSize);
    std::string columns;
    const size_t columnsLimit = size_t(frameCount) * (1 + maxMillisBytes);
    if (!packed || !inflateBounded(packed, packedSize, columnsLimit, &columns))
        return false;
    replay->frames.assign(frameCount, ReplayFrame());
    if (!readFrames(columns, &replay->frames))
        return false;
    replay->checks.assign(frameCount / replayCheckInterval, 0);
    for (uint32_t& check : replay->checks)
        check = in.word();
    return in.ok && in.at == in.end;
}
} // namespace

std::string encodeReplay(const Replay& replay) {
    std::string out(replayMagic, sizeof replayMagic);
    putByte(out, replayFormatVersion);
    putByte(out, uint8_t(replay.name.size()));
    out += replay.name;
    putWord(out, uint32_t(replay.score));
    putWord(out, uint32_t(replay.frames.size()));
    const ReplayStart& start = replay.start;
    putWord(out, start.randomState);
    putByte(out, start.eventKind);
    putFloat(out, start.savedBubbleSpeed);
    putFloat(out, start.savedSpikeSpeed);
    putByte(out, start.musicTrack);
    putByte(out, start.nameEntryOpen ? 1 : 0);
    const size_t count = start.collectable.size();
    putByte(out, uint8_t(count));
    putByte(out, uint8_t(count >> 8));
    std::string bits((count + 7) / 8, '\0');
    for (size_t i = 0; i < count; ++i)
        if (start.collectable[i])
            bits[i / 8] = char(uint8_t(bits[i / 8]) | 1 << (i % 8));
    out += bits;
    const std::string packed = deflateText(frameColumns(replay.frames));
    putWord(out, uint32_t(packed.size()));
    out += packed;
    for (uint32_t check : replay.checks)
        putWord(out, check);
    putWord(out, crcOf(out.data(), out.size()));
    return out;
}

ReplayReadError decodeReplay(const std::string& bytes, Replay* replay) {
    if (bytes.size() > replayMaxFileBytes)
        return ReplayReadError::tooLarge;
    if (bytes.size() < sizeof replayMagic + 1 ||
        std::memcmp(bytes.data(), replayMagic, sizeof replayMagic) != 0)
        return ReplayReadError::notReplay;
    const uint8_t version = uint8_t(bytes[sizeof replayMagic]);
    if (version > replayFormatVersion)
        return ReplayReadError::newerVersion;
    if (version < 1 || bytes.size() < sizeof replayMagic + 1 + crcBytes)
        return ReplayReadError::damaged;
    Cursor in{bytes, sizeof replayMagic + 1, bytes.size() - crcBytes};
    Cursor trailer{bytes, in.end, bytes.size()};
    if (trailer.word() != crcOf(bytes.data(), in.end))
        return ReplayReadError::damaged;
    if (!readName(in, &replay->name))
        return ReplayReadError::damaged;
    replay->score = int32_t(in.word());
    return readBody(in, replay) ? ReplayReadError::none : ReplayReadError::damaged;
}

const char* replayReadErrorText(ReplayReadError error) {
    switch (error) {
    case ReplayReadError::none:
        return "a replay";
    case ReplayReadError::notReplay:
        return "not an Orbelle replay";
    case ReplayReadError::newerVersion:
        return "a replay from a newer version of Orbelle";
    case ReplayReadError::damaged:
        return "a damaged replay";
    case ReplayReadError::tooLarge:
        return "too large for a replay (over 1 MiB)";
    }
    return "unreadable";
}
