// The replay file: its byte layout read back by an independent reader in Python, and every way
// a file can be refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "protocol/replay_format.h"
#include "tests/support/test_game.h"

namespace {
Replay sampleReplay() {
    Replay replay;
    replay.name = "J\xFCrgen\x1b";
    replay.score = -7;
    replay.start.randomState = 0x89ABCDEF;
    replay.start.eventKind = 2;
    replay.start.savedBubbleSpeed = 1.5f;
    replay.start.savedSpikeSpeed = 2.25f;
    replay.start.musicTrack = 1;
    replay.start.nameEntryOpen = true;
    replay.start.collectable.assign(260, true);
    for (int i : {0, 7, 8, 259})
        replay.start.collectable[i] = false;
    const uint32_t millis[] = {1, 15, 16, 127, 128, 16383, 16384, 0xFFFFFFFF};
    for (uint32_t i = 0; i < 130; ++i)
        replay.frames.push_back({millis[i % 8], uint8_t(i & replayKnownInputBits)});
    replay.checks = {0xDEADBEEF, 0x01020304};
    return replay;
}

// Python's struct and zlib, reading the layout docs/file-formats.md gives; prints one field a
// line.
std::string readWithPython(const std::string& bytes) {
    ScratchDirectory scratch;
    writeWholeFile("replay.orbr", bytes);
    FILE* pipe = popen(
        "python3 -c \"import struct,zlib\n"
        "b=open('replay.orbr','rb').read()\n"
        "assert b[:4]==b'ORBR' and b[4]==1\n"
        "assert struct.unpack('<I',b[-4:])[0]==zlib.crc32(b[:-4])\n"
        "n=b[5]; p=6+n\n"
        "print(b[6:p].hex())\n"
        "score,frames,rnd,kind,bs,ss,track,entry,count=struct.unpack('<iIIBffBBH',b[p:p+25])\n"
        "print(score,frames,hex(rnd),kind,bs,ss,track,entry,count)\n"
        "p+=25; bits=b[p:p+(count+7)//8]; p+=(count+7)//8\n"
        "print(''.join(str(bits[i//8]>>(i%8)&1) for i in range(count)))\n"
        "size=struct.unpack('<I',b[p:p+4])[0]; p+=4\n"
        "cols=zlib.decompress(b[p:p+size]); p+=size\n"
        "print(list(cols[:frames])[:10])\n"
        "m=[];v=s=0\n"
        "for c in cols[frames:]:\n"
        "  v|=(c&127)<<s;s+=7\n"
        "  if c<128: m.append(v);v=s=0\n"
        "print(m[:9],len(m))\n"
        "print([hex(x) for x in struct.unpack('<%dI'%(frames//64),b[p:-4])])\n\" 2>&1",
        "r");
    std::string out;
    char line[4096];
    while (pipe && fgets(line, sizeof line, pipe))
        out += line;
    if (pipe)
        pclose(pipe);
    return out;
}

// The bytes with one changed at offset and the trailing check sum made right again, so that
// only the field itself can refuse them.
std::string withByte(std::string bytes, size_t offset, uint8_t value) {
    bytes[offset] = char(value);
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size() - 4));
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + i] = char(uint8_t(crc >> (8 * i)));
    return bytes;
}

// A replay of two frames, so with no check values, whose packed columns are the given bytes: the
// two inputs, then the milliseconds as base-128 numbers; after, if any, follows the packed stream.
std::string withColumns(const std::string& columns, const std::string& after = "") {
    Replay replay;
    replay.frames = {{16, 0}, {16, 0}};
    uLongf size = compressBound(uLong(columns.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &size,
             reinterpret_cast<const Bytef*>(columns.data()), uLong(columns.size()));
    packed = packed.substr(0, size) + after;
    size = uLongf(packed.size());
    const char sizeBytes[4] = {char(size), char(size >> 8), char(size >> 16), char(size >> 24)};
    return withByte(encodeReplay(replay).substr(0, 6 + 25) + std::string(sizeBytes, 4) + packed +
                        std::string(4, '\0'),
                    0, 'O');
}

template <uint32_t count> void framesOf(Replay& replay) {
    replay.frames.assign(count, ReplayFrame{16, 0});
    replay.checks.assign(count / replayCheckInterval, 0);
}

std::string encodedWith(void (*change)(Replay&)) {
    Replay replay = sampleReplay();
    change(replay);
    return encodeReplay(replay);
}
} // namespace

// What is read back, written again, is what was written: the reader takes every field.
TEST(ReplayFormat, LayoutAsAnIndependentReaderSeesItAndReadBack) {
    const std::string expected = "4afc7267656e1b\n"
                                 "-7 130 0x89abcdef 2 1.5 2.25 1 1 260\n" +
                                 std::string("0") + std::string(6, '1') + "00" +
                                 std::string(250, '1') + "0\n" +
                                 "[0, 1, 2, 3, 4, 5, 6, 7, 8, 9]\n"
                                 "[1, 15, 16, 127, 128, 16383, 16384, 4294967295, 1] 130\n"
                                 "['0xdeadbeef', '0x1020304']\n";
    const std::string written = encodeReplay(sampleReplay());
    EXPECT_EQ(readWithPython(written), expected);
    Replay read;
    ASSERT_EQ(decodeReplay(written, &read), ReplayReadError::none);
    EXPECT_TRUE(encodeReplay(read) == written) << "a field read back differs";
}

TEST(ReplayFormat, RefusesWhatIsNoSoundReplay) {
    const std::string good = encodeReplay(sampleReplay());
    const size_t afterName = 6 + sampleReplay().name.size();
    std::string bigger = good;
    bigger.resize(replayMaxFileBytes + 1);
    const ReplayReadError damaged = ReplayReadError::damaged;
    struct Case {
        const char* what;
        std::string bytes;
        ReplayReadError expected;
    } cases[] = {
        {"nothing", "", ReplayReadError::notReplay},
        {"another file", "GIF89a........", ReplayReadError::notReplay},
        {"a newer version", withByte(good, 4, 2), ReplayReadError::newerVersion},
        {"version 0", withByte(good, 4, 0), damaged},
        {"over 1 MiB", bigger, ReplayReadError::tooLarge},
        {"cut short", good.substr(0, good.size() - 1), damaged},
        {"one byte more", good + "x", damaged},
        {"a byte changed, sum not", std::string(good).replace(afterName + 2, 1, "\x55"), damaged},
        {"a name of 16", withByte(good, 5, 16), damaged},
        {"a NUL in the name", withByte(good, 7, 0), damaged},
        {"event kind 3", withByte(good, afterName + 12, 3), damaged},
        {"music track 3", withByte(good, afterName + 21, 3), damaged},
        {"name entry flag 2", withByte(good, afterName + 22, 2), damaged},
        {"a speed not a number",
         withByte(withByte(good, afterName + 16, 0x7F), afterName + 15, 0xC0), damaged},
        {"more frames than packed", withByte(good, afterName + 4, 131), damaged},
        {"a frame of 0 ms", encodedWith([](Replay& r) { r.frames[3].millis = 0; }), damaged},
        {"an unknown input bit", encodedWith([](Replay& r) { r.frames[3].input = 0x80; }), damaged},
        {"a check too few", encodedWith([](Replay& r) { r.checks.pop_back(); }), damaged},
        {"a check too many", encodedWith([](Replay& r) { r.checks.push_back(1); }), damaged},
        {"milliseconds past 32 bits", withColumns(std::string("\0\0\x10\xFF\xFF\xFF\xFF\x10", 8)),
         damaged},
        {"milliseconds unended", withColumns(std::string("\0\0\x10\x90", 4)), damaged},
        {"a byte after the milliseconds", withColumns(std::string("\0\0\x10\x10\x10", 5)), damaged},
        {"a byte after the packed columns", withColumns(std::string("\0\0\x10\x10", 4), "x"),
         damaged},
        {"fewer inputs than frames", withColumns(std::string("\0", 1)), damaged},
        {"more frames than any round", encodedWith(framesOf<replayMaxFrames + 1>), damaged},
        {"as many frames as any round", encodedWith(framesOf<replayMaxFrames>),
         ReplayReadError::none},
    };
    for (const Case& c : cases) {
        Replay read;
        EXPECT_EQ(decodeReplay(c.bytes, &read), c.expected) << c.what;
    }
}
