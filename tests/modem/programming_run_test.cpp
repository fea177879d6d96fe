// The programming run's tables and helpers that need no modem: interface and generation
// names, acceptance per product, E2PROM bases, failure lines and the backup files.
#include "modem/backup.h"
#include "modem/programming_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace rw::modem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "romwright-backup-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void touch(const fs::path& p) {
    std::ofstream(p, std::ios::binary) << "x";
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

} // namespace

TEST(InterfaceTable, EveryTypeAndVariant) {
    const char* const expected[8][2] = {{"Utopia Master", "Utopia Master"},
                                        {"Utopia Phy", "Utopia Phy"},
                                        {"MII MAC", "RMII MAC"},
                                        {"Unknown", "7wire MAC"},
                                        {"TC", "TC"},
                                        {"T1/E1 repeater", "T1/E1 repeater"},
                                        {"MII Phy", "RMII Phy"},
                                        {"SMII Phy", "7wire Phy"}};
    for (int t = 0; t < 8; ++t)
        for (int v = 0; v < 2; ++v)
            EXPECT_EQ(InterfaceName(static_cast<std::uint8_t>(t * 8 + v * 4)), expected[t][v])
                << "t=" << t << " v=" << v;
}

TEST(InterfaceTable, OtherBitsDoNotMatter) {
    // Only bits 5..3 and 2 count: bits 7, 6, 1 and 0 are ignored.
    EXPECT_EQ(InterfaceName(0x10 | 0xC3), "MII MAC");
    EXPECT_EQ(InterfaceName(0x14 | 0xC3), "RMII MAC");
    EXPECT_EQ(InterfaceName(0x3C | 0x80), "7wire Phy");
}

TEST(InterfaceTable, UtopiaProductsAccept) {
    for (int mode : {2, 4}) {
        EXPECT_TRUE(InterfaceAccepted(mode, "Utopia Master"));
        EXPECT_TRUE(InterfaceAccepted(mode, "Utopia Phy"));
        EXPECT_TRUE(InterfaceAccepted(mode, "T1/E1 repeater"));
        EXPECT_FALSE(InterfaceAccepted(mode, "TC"));
        EXPECT_FALSE(InterfaceAccepted(mode, "MII MAC"));
        EXPECT_FALSE(InterfaceAccepted(mode, "utopia phy"));      // case-sensitive
        EXPECT_FALSE(InterfaceAccepted(mode, "T1/E1 repeater ")); // equality, not containment
    }
}

TEST(InterfaceTable, MiiProductsAccept) {
    for (int mode : {1, 3}) {
        for (const char* name :
             {"MII MAC", "RMII MAC", "7wire MAC", "MII Phy", "RMII Phy", "SMII Phy", "7wire Phy"})
            EXPECT_TRUE(InterfaceAccepted(mode, name)) << name;
        for (const char* name : {"TC", "Unknown", "Utopia Phy", "T1/E1 repeater", "mii mac"})
            EXPECT_FALSE(InterfaceAccepted(mode, name)) << name;
    }
}

TEST(GenerationTable, Revisions) {
    EXPECT_EQ(GenerationName(41), "B");
    EXPECT_EQ(GenerationName(44), "B");
    EXPECT_EQ(GenerationName(49), "B+");
    EXPECT_EQ(GenerationName(50), "B+");
    for (int r : {0, 40, 42, 43, 45, 48, 51, 0x50, 255})
        EXPECT_EQ(GenerationName(static_cast<std::uint8_t>(r)), "NotBorB+") << r;
}

TEST(GenerationTable, E2Base) {
    EXPECT_EQ(E2Base(1), 0x9000);
    EXPECT_EQ(E2Base(2), 0x9000);
    EXPECT_EQ(E2Base(3), 0xC000);
    EXPECT_EQ(E2Base(4), 0xC000);
}

TEST(FailureReport, LinesInHex) {
    const auto lines = mismatchLines({{0x255, 0x14, 0x15}, {8191, 0xFF, 0x0}, {0, 0x55, 0x00}});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "0255: wanted 14, found 15");
    EXPECT_EQ(lines[1], "1FFF: wanted FF, found 00");
    EXPECT_EQ(lines[2], "0000: wanted 55, found 00");
}

TEST(FailureReport, AtMostFiftyLines) {
    std::vector<ByteMismatch> many;
    for (int k = 0; k < 50; ++k)
        many.push_back({k, 1, 2});
    EXPECT_EQ(mismatchLines(many).size(), 50u);
    EXPECT_EQ(mismatchLines(many).back(), "0031: wanted 01, found 02");
    many.push_back({50, 1, 2});
    many.push_back({51, 1, 2});
    const auto lines = mismatchLines(many);
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines[48], "0030: wanted 01, found 02");
    EXPECT_EQ(lines[49], "... and 3 more");
}

TEST(BackupFiles, NamePattern) {
    EXPECT_EQ(backupFileName("E2MP", "20240131-235959"), "E2MP_backup_20240131-235959.bin");
    EXPECT_TRUE(isBackupFileName("E2UB_backup_20240131-235959.bin"));
    EXPECT_TRUE(isBackupFileName("E2UB_backup_20240131-235959-2.bin"));
    EXPECT_FALSE(isBackupFileName("E2UB_backup_20240131.bin"));
    EXPECT_FALSE(isBackupFileName("E2UB_20240131-235959.bin"));
    EXPECT_FALSE(isBackupFileName("E2UB_backup_20240131-235959.bin.tmp"));
    EXPECT_TRUE(std::regex_match(backupStamp(), std::regex("[0-9]{8}-[0-9]{6}")));
}

TEST(BackupFiles, NewPathNeverNamesAnExistingFile) {
    TempFolder dir;
    const std::string first = newBackupPath(dir.path().string(), "E2MB");
    touch(first);
    const std::string second = newBackupPath(dir.path().string(), "E2MB");
    EXPECT_NE(first, second);
    EXPECT_TRUE(isBackupFileName(fs::path(second).filename().string()));
}

TEST(BackupFiles, PruneKeepsTheNewest) {
    TempFolder dir;
    for (const char* name : {"E2MB_backup_20200101-000000.bin", "E2UP_backup_20210101-000000.bin",
                             "E2MB_backup_20220101-000000.bin", "E2MB_backup_20220101-000000-2.bin",
                             "E2MB_backup_20190101-000000.bin", "notes.txt", "E2MB_other.bin"})
        touch(dir.path() / name);
    EXPECT_EQ(pruneBackups(dir.path().string(), 3), 2);
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"E2UP_backup_20210101-000000.bin",
                                                          "E2MB_backup_20220101-000000.bin",
                                                          "E2MB_backup_20220101-000000-2.bin",
                                                          "notes.txt", "E2MB_other.bin"}));
    EXPECT_EQ(pruneBackups(dir.path().string(), 0), 0); // 0 keeps everything
    EXPECT_EQ(namesIn(dir.path()).size(), 5u);
}

TEST(BackupFiles, SaveCreatesTheFolderAndWritesTheImage) {
    TempFolder dir;
    rw::image::Image img{};
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>(i * 7);
    const fs::path target = dir.path() / "a" / "b" / "E2MB_backup_20240101-000000.bin";
    std::string why;
    ASSERT_TRUE(saveBackup(target.string(), img, &why)) << why;
    std::ifstream in(target, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), img.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), img.data(), img.size()));
}

TEST(BackupFiles, UnwritableFolderIsReported) {
    TempFolder dir;
    touch(dir.path() / "plain");
    std::string why;
    EXPECT_FALSE(backupFolderWritable((dir.path() / "plain" / "sub").string(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(backupFolderWritable((dir.path() / "new" / "sub").string(), &why)) << why;
    // The probe leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(dir.path() / "new" / "sub"));
}

TEST(BackupFiles, DefaultFolderIsUnderTheDataFolder) {
    const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    TempFolder dir;
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    const std::string folder = defaultBackupDir();
    if (saved.empty())
        ::unsetenv("XDG_DATA_HOME");
    else
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    EXPECT_EQ(folder.rfind(dir.path().string(), 0), 0u) << folder;
    EXPECT_EQ(fs::path(folder).filename(), "backups");
}
