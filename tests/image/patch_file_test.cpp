#include "image/config_module.h"
#include "image/hex.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

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
    const std::tuple<int, bool, int> cases[] = {
        {0, false, 3},   {23, false, 32}, {28, false, 50}, {28, true, 79}, {29, false, 1},
        {30, false, 33}, {31, false, 34}, {30, true, -1},  {32, true, 96}, {38, true, 105},
        {39, true, 612}, {43, true, 616}, {44, false, 31}, {44, true, 60}, {45, true, -1}};
    for (const auto& [slot, bplus, offset] : cases)
        EXPECT_EQ(slotOffset(slot, bplus), offset) << slot << (bplus ? " B+" : " B");
}

TEST(ImageStructures, OverridesApplyBelowOffset256Only) {
    ConfigModule cm;
    cm.fillReservedArea();
    EXPECT_EQ(std::count(cm.reservedArea.begin(), cm.reservedArea.end(), 0xFF), 256);
    EXPECT_EQ(cm.overrideTable[5], 0);
    cm.clearOverrides();
    EXPECT_EQ(std::count(cm.overrideTable.begin(), cm.overrideTable.end(), kNoOverride),
              kOverrideEntries);
    const Image file = pattern();
    cm.overrideTable[11] = 0x42; // position 11 = offset 10
    cm.overrideTable[256] = 0x99;
    const std::pair<int, int> wanted[] = {
        {10, 0x42}, {11, file[11]}, {255, 0x99}, {256, file[256]}};
    for (auto [offset, v] : wanted)
        EXPECT_EQ(wantedByte(cm, file, offset), v) << offset;
}

// Only a regular file of at least an image is read; the reason otherwise follows the name.
TEST(PatchFileRead, RegularFilesOfAnImageOrMore) {
    TempDir d;
    const Image img = pattern();
    std::vector<std::uint8_t> bytes(img.begin(), img.end());
    writeBytes(d.file("full.bin"), bytes);
    writeBytes(d.file("short.bin"), {1, 2, 3});
    writeBytes(d.file("empty.bin"), {});
    bytes.resize(9000);
    writeBytes(d.file("long.bin"), bytes);
    fs::create_directories(d.file("dir.bin"));
    ASSERT_EQ(::mkfifo(d.file("fifo.bin").c_str(), 0600), 0);
    // A writer holds the FIFO open with a whole image in it, so that opening and reading it
    // would not block: only the refusal keeps it from being taken.
    const int writer = ::open(d.file("fifo.bin").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, img.data(), img.size()), static_cast<ssize_t>(img.size()));
    const struct {
        const char* name;
        std::size_t size;    // 0: refused
        const char* warning; // for a file longer than an image
        const char* why;     // the reason of a refusal (empty: the system's, not checked)
    } cases[] = {
        {"full.bin", 8192, "", ""},
        {"long.bin", 9000, "is 9000 bytes; only its first 8192 are used", ""},
        {"short.bin", 0, "", "is 3 bytes, an image is 8192"},
        {"empty.bin", 0, "", "is 0 bytes, an image is 8192"},
        {"dir.bin", 0, "", "is a directory"},
        {"fifo.bin", 0, "", "is a FIFO"},
        {"missing.bin", 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const auto f = readPatchFile(d.file(c.name), &why);
        ASSERT_EQ(f.has_value(), c.size > 0) << why;
        if (f) {
            EXPECT_EQ(std::tuple(f->bytes, f->fileSize, extraBytesWarning(*f)),
                      std::tuple(img, c.size, c.warning));
        } else {
            EXPECT_TRUE(*c.why ? why == c.why : !why.empty()) << why;
        }
    }
    ::close(writer);
    EXPECT_FALSE(readPatchFile(""));
}

TEST(PatchFileWrite, ExactlyOneImageAtomically) {
    TempDir d;
    const Image img = pattern();
    const auto path = d.file("E2MB_w.bin");
    writeBytes(path, std::vector<std::uint8_t>(20000, 0x33));
    ASSERT_TRUE(writePatchFile(path, img));
    EXPECT_EQ(readBytes(path), std::vector<std::uint8_t>(img.begin(), img.end()));
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 1);
}

// A failed write gives a reason, leaves the old file whole and nothing beside it.
TEST(PatchFileWrite, FailuresGiveAReasonAndLeaveTheOldFile) {
    TempDir d;
    const std::vector<std::uint8_t> old(8192, 0x5A);
    writeBytes(d.file("E2MB_old.bin"), old);
    fs::create_directories(d.file("E2MB_dir.bin"));
    for (const std::string name : {"missing/E2MB.bin", "E2MB_dir.bin", "E2MB_old.bin"}) {
        SCOPED_TRACE(name);
        std::string why;
        std::optional<rw::test::FileSizeLimit> full; // the disk fills up halfway
        if (name == "E2MB_old.bin") full.emplace(4096);
        EXPECT_FALSE(writePatchFile(d.file(name), pattern(), &why));
        full.reset();
        EXPECT_FALSE(why.empty());
    }
    EXPECT_TRUE(fs::is_directory(d.file("E2MB_dir.bin")));
    EXPECT_EQ(readBytes(d.file("E2MB_old.bin")), old);
    std::set<std::string> names;
    for (auto& e : fs::directory_iterator(d.path()))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"E2MB_dir.bin", "E2MB_old.bin"}));
}

TEST(PatchBytesFill, SlotsPerProductAndUnreadSlotsKept) {
    const Image img = pattern();
    for (int mode = 1; mode <= 4; ++mode) {
        ConfigModule cm;
        cm.patchBytes[mode == 3 ? 30 : 32] = 0x77; // a slot the product does not read
        fillPatchBytes(cm, img, mode);
        for (int slot : slotsForMode(mode))
            EXPECT_EQ(cm.patchBytes[static_cast<std::size_t>(slot)],
                      img[static_cast<std::size_t>(slotOffset(slot, mode >= 3))])
                << mode << "/" << slot;
        EXPECT_EQ(
            std::tuple(cm.patchBytes[29], cm.patchVersion, cm.patchBytes[mode == 3 ? 30 : 32]),
            std::tuple(img[1], img[1], 0x77))
            << mode;
    }
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
