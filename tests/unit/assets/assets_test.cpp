// The bitmaps copied beside the programs: each must be a plain 24-bit BMP that any reader
// takes, and its width is what tells an "on" picture from an "off" one, so a redrawn picture
// must keep it. The headers are read by hand here to keep the unit tests free of Qt.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_folder.h"

namespace {

using testing_support::ReadBytes;

constexpr int kOnWidth = 67;
constexpr int kOffWidth = 69;
constexpr int kLedSize = 20;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

uint32_t ReadU32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

uint16_t ReadU16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

struct Bmp {
    std::string fault;  // empty when the file is a valid 24-bit uncompressed BMP
    int32_t width = 0;
    int32_t height = 0;
    size_t dataOffset = 0;
    size_t rowSize = 0;
};

Bmp Fault(const char* what) {
    Bmp bmp;
    bmp.fault = what;
    return bmp;
}

Bmp ParseBmp(const std::string& bytes) {
    Bmp bmp;
    if (bytes.size() < kFileHeaderSize + kInfoHeaderSize) return Fault("shorter than its headers");
    if (bytes.compare(0, 2, "BM") != 0) return Fault("no BM signature");
    if (ReadU32(bytes, 2) != bytes.size()) return Fault("file size field differs from the file");
    bmp.dataOffset = ReadU32(bytes, 10);
    if (ReadU32(bytes, 14) < kInfoHeaderSize) return Fault("info header too small");
    if (bmp.dataOffset < kFileHeaderSize + ReadU32(bytes, 14))
        return Fault("pixels overlap header");
    bmp.width = static_cast<int32_t>(ReadU32(bytes, 18));
    bmp.height = static_cast<int32_t>(ReadU32(bytes, 22));
    // A positive height means bottom-up rows, the layout every reader takes.
    if (bmp.width <= 0 || bmp.height <= 0) return Fault("not a bottom-up picture");
    if (ReadU16(bytes, 26) != 1) return Fault("planes is not 1");
    if (ReadU16(bytes, 28) != 24) return Fault("not 24 bits per pixel");
    if (ReadU32(bytes, 30) != 0) return Fault("compressed");
    bmp.rowSize = (static_cast<size_t>(bmp.width) * 3 + 3) & ~size_t{3};
    const size_t dataSize = bmp.rowSize * static_cast<size_t>(bmp.height);
    const uint32_t declared = ReadU32(bytes, 34);
    if (declared != 0 && declared != dataSize) return Fault("image size field differs from rows");
    if (bmp.dataOffset + dataSize != bytes.size())
        return Fault("pixel data size differs from file");
    return bmp;
}

// The pixel at (x, y) counted from the top left, as "r,g,b".
std::string PixelAt(const std::string& bytes, const Bmp& bmp, int x, int y) {
    const size_t row = static_cast<size_t>(bmp.height - 1 - y);
    const size_t at = bmp.dataOffset + row * bmp.rowSize + static_cast<size_t>(x) * 3;
    auto channel = [&](size_t i) {
        return std::to_string(static_cast<unsigned char>(bytes[at + i]));
    };
    return channel(2) + "," + channel(1) + "," + channel(0);
}

struct Picture {
    std::string name;
    int width;
    std::string background;  // what the corners show, so the picture blends into its panel
};

const std::vector<Picture>& Pictures() {
    static const std::vector<Picture> pictures = {
        {"ecran-on.bmp", kOnWidth, "255,251,240"},   {"ecran-off.bmp", kOffWidth, "255,251,240"},
        {"neufbox_on.bmp", kOnWidth, "255,251,240"}, {"neufbox_off.bmp", kOffWidth, "255,251,240"},
        {"led-rouge.bmp", kLedSize, "240,240,240"},  {"led-vert.bmp", kLedSize, "240,240,240"},
        {"led-orange.bmp", kLedSize, "240,240,240"}, {"led-gris.bmp", kLedSize, "240,240,240"},
    };
    return pictures;
}

Bmp Load(const std::string& name, std::string& bytes) {
    bytes = ReadBytes(std::string(KORVANE_BIN_DIR) + name);
    return ParseBmp(bytes);
}

TEST(Bitmaps, EachIsAPlain24BitBmpWithItsWidthAndBackground) {
    for (const Picture& picture : Pictures()) {
        SCOPED_TRACE(picture.name);
        std::string bytes;
        const Bmp bmp = Load(picture.name, bytes);
        ASSERT_EQ(bmp.fault, "");
        EXPECT_EQ(bmp.width, picture.width);
        EXPECT_EQ(PixelAt(bytes, bmp, 0, 0), picture.background);
        EXPECT_EQ(PixelAt(bytes, bmp, bmp.width - 1, bmp.height - 1), picture.background);
    }
}

TEST(Bitmaps, PairsShareAHeightThatFitsTheirButton) {
    std::string bytes;
    const Bmp screenOn = Load("ecran-on.bmp", bytes);
    const Bmp screenOff = Load("ecran-off.bmp", bytes);
    const Bmp boxOn = Load("neufbox_on.bmp", bytes);
    const Bmp boxOff = Load("neufbox_off.bmp", bytes);
    EXPECT_EQ(screenOn.height, screenOff.height);
    EXPECT_LE(screenOn.height, 60);  // the screen button is 60 px high
    EXPECT_EQ(boxOn.height, boxOff.height);
    EXPECT_LE(boxOn.height, 45);  // the box button (61 px) also holds its caption
    for (const char* led : {"led-rouge.bmp", "led-vert.bmp", "led-orange.bmp", "led-gris.bmp"}) {
        EXPECT_EQ(Load(led, bytes).height, kLedSize) << led;
    }
}

// The checks above only mean something if damage is caught.
TEST(Bitmaps, DamagedCopiesAreRejected) {
    std::string bytes;
    ASSERT_EQ(Load("led-vert.bmp", bytes).fault, "");
    std::string truncated = bytes.substr(0, bytes.size() - 1);
    EXPECT_NE(ParseBmp(truncated).fault, "");
    std::string paletted = bytes;
    paletted[28] = 8;
    EXPECT_NE(ParseBmp(paletted).fault, "");
    std::string compressed = bytes;
    compressed[30] = 1;
    EXPECT_NE(ParseBmp(compressed).fault, "");
    std::string topDown = bytes;
    topDown[25] = static_cast<char>(0xff);  // a negative height
    EXPECT_NE(ParseBmp(topDown).fault, "");
}

}  // namespace
