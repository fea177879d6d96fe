#include "image/config_module.h"
#include "image/hex.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace rw::image;
using rw::test::readBytes;
using rw::test::TempDir;
using rw::test::writeBytes;
namespace fs = std::filesystem;

namespace {

Image pattern() {
    Image img;
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return img;
}

} // namespace

TEST(ImageGeometry, PositionsAndSlotOffsets) {
    EXPECT_EQ(positionOf(0), 1);
    EXPECT_EQ(offsetOf(8192), 8191);
    // Generation B+ fields sit 29 bytes further on.
    for (int s = 0; s <= 28; ++s)
        EXPECT_EQ(slotOffset(s, true), slotOffset(s, false) + 29) << s;
    const struct {
        int slot;
        bool bplus;
        int offset;
    } cases[] = {{0, false, 3},   {23, false, 32}, {28, false, 50}, {28, true, 79}, {29, false, 1},
                 {30, false, 33}, {31, false, 34}, {30, true, -1},  {32, true, 96}, {38, true, 105},
                 {39, true, 612}, {43, true, 616}, {44, false, 31}, {44, true, 60}, {45, true, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(slotOffset(c.slot, c.bplus), c.offset) << c.slot << (c.bplus ? " B+" : " B");
}

TEST(ImageStructures, ClearOverridesAndReservedArea) {
    ConfigModule cm;
    EXPECT_EQ(cm.OverrideTable[5], 0);
    cm.ClearOverrides();
    for (auto v : cm.OverrideTable)
        EXPECT_EQ(v, -1);
    cm.FillReservedArea();
    for (auto v : cm.ReservedArea)
        EXPECT_EQ(v, 0xFF);
}

TEST(ImageStructures, WantedByteUsesOverridesBelow256Only) {
    ConfigModule cm;
    cm.ClearOverrides();
    Image file = pattern();
    cm.OverrideTable[11] = 0x42; // position 11 = offset 10
    EXPECT_EQ(wantedByte(cm, file, 10), 0x42);
    EXPECT_EQ(wantedByte(cm, file, 11), file[11]);
    cm.OverrideTable[256] = 0x99;
    EXPECT_EQ(wantedByte(cm, file, 255), 0x99);
    EXPECT_EQ(wantedByte(cm, file, 256), file[256]);
}

TEST(PatchFileRead, WholeShortEmptyLong) {
    TempDir d;
    const Image img = pattern();
    writeBytes(d.file("full.bin"), std::vector<std::uint8_t>(img.begin(), img.end()));
    auto f = readPatchFile(d.file("full.bin"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->bytes, img);
    EXPECT_EQ(f->fileSize, 8192u);

    writeBytes(d.file("short.bin"), {1, 2, 3});
    auto s = readPatchFile(d.file("short.bin"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->bytes[2], 3);
    EXPECT_EQ(s->bytes[3], 0xFF);
    EXPECT_EQ(s->bytes[8191], 0xFF);
    EXPECT_EQ(s->fileSize, 3u);

    writeBytes(d.file("empty.bin"), {});
    auto e = readPatchFile(d.file("empty.bin"));
    ASSERT_TRUE(e);
    for (auto b : e->bytes)
        EXPECT_EQ(b, 0xFF);

    std::vector<std::uint8_t> big(img.begin(), img.end());
    big.resize(9000, 0);
    writeBytes(d.file("long.bin"), big);
    auto l = readPatchFile(d.file("long.bin"));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->bytes, img);
    EXPECT_EQ(l->fileSize, 9000u);
}

TEST(PatchFileWrite, ExactlyOneImageAtomically) {
    TempDir d;
    const Image img = pattern();
    const auto path = d.file("E2MB_w.bin");
    writeBytes(path, std::vector<std::uint8_t>(20000, 0x33));
    ASSERT_TRUE(writePatchFile(path, img));
    EXPECT_EQ(readBytes(path), std::vector<std::uint8_t>(img.begin(), img.end()));
    // No temporary file is left beside it.
    int files = 0;
    for (auto& e : fs::directory_iterator(fs::path(path).parent_path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(PatchFile, ReadAndWriteFailuresGiveAReasonAndLeaveTargetsAlone) {
    TempDir d;
    fs::create_directories(d.file("E2MB_dir.bin"));
    for (const auto& path : {d.file("missing/E2MB.bin"), d.file("E2MB_dir.bin")}) {
        std::string why;
        EXPECT_FALSE(readPatchFile(path, &why)) << path;
        EXPECT_FALSE(why.empty()) << path;
        why.clear();
        EXPECT_FALSE(writePatchFile(path, pattern(), &why)) << path;
        EXPECT_FALSE(why.empty()) << path;
    }
    EXPECT_FALSE(readPatchFile(""));
    EXPECT_TRUE(fs::is_directory(d.file("E2MB_dir.bin")));
}

TEST(PatchBytesFill, SlotsPerProduct) {
    const Image img = pattern();
    for (int mode = 1; mode <= 4; ++mode) {
        ConfigModule cm;
        fillPatchBytes(cm, img, mode);
        const bool bplus = mode >= 3;
        for (int slot : slotsForMode(mode))
            EXPECT_EQ(cm.PatchBytes[static_cast<std::size_t>(slot)],
                      img[static_cast<std::size_t>(slotOffset(slot, bplus))])
                << mode << "/" << slot;
        EXPECT_EQ(cm.PatchBytes[29], img[1]);
        EXPECT_EQ(cm.PatchVersion, img[1]);
    }
    const std::size_t slotCounts[] = {31, 30, 41, 30};
    for (int mode = 1; mode <= 4; ++mode)
        EXPECT_EQ(slotsForMode(mode).size(), slotCounts[mode - 1]) << mode;
}

TEST(PatchBytesFill, UnreadSlotsKeepTheirContents) {
    ConfigModule cm;
    cm.PatchBytes[44] = 0x77;
    cm.PatchBytes[30] = 0x66;
    fillPatchBytes(cm, pattern(), 3);
    EXPECT_EQ(cm.PatchBytes[44], 0x77);
    EXPECT_EQ(cm.PatchBytes[30], 0x66);
}

TEST(Hex, UpperCaseWithoutLeadingZerosUnlessAWidthAsks) {
    const std::tuple<unsigned, int, const char*> cases[] = {
        {0, 0, "0"},         {178, 0, "B2"}, {256, 0, "100"},    {36864, 0, "9000"},
        {0xDFFF, 0, "DFFF"}, {5, 2, "05"},   {0x255, 4, "0255"}, {0x12345, 4, "12345"}};
    for (const auto& [v, width, text] : cases)
        EXPECT_EQ(rw::image::hex(v, width), text) << v;
    EXPECT_EQ(rw::image::parseHex("a5"), 0xA5u);
    for (const char* bad : {"", " 5", "5 ", "0x5", "G", "-1", "123"})
        EXPECT_FALSE(rw::image::parseHex(bad, 2)) << bad;
}
