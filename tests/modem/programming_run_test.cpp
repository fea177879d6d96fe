// The programming run's tables and helpers that need no modem: interface and generation
// names, acceptance per product, E2PROM bases, failure lines, the backup files and the run
// log beside them.
#include "modem/backup.h"
#include "modem/programming_run.h"
#include "modem/run_log.h"
#include "sim/sim_options.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <latch>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;
using namespace rw::modem;

namespace {

class BackupFiles : public ::testing::Test {
protected:
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir))
            out.insert(e.path().filename().string());
        return out;
    }
    void touch(const std::string& name) const { rw::test::writeText(tmp.file(name), "x"); }
    rw::test::TempDir tmp;
    fs::path dir = tmp.path();
};

} // namespace

TEST(InterfaceTable, NamesAgreeWithTheSimulatorForEveryByte) {
    // Only bits 5..3 (type) and 2 (variant) count; the simulator names them independently.
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(interfaceNameOf(static_cast<std::uint8_t>(b)),
                  rw::sim::interfaceName(static_cast<std::uint8_t>(b)))
            << b;
}

// Case-sensitive: UTOPIA products take names containing "Utopia" or exactly "T1/E1 repeater",
// MII products names containing "MII" or "7wire".
TEST(InterfaceTable, ProductsAcceptTheirInterfacesByName) {
    const std::vector<std::string> utopia{"Utopia Master", "Utopia Phy", "T1/E1 repeater"};
    const std::vector<std::string> mii{"MII MAC",  "RMII MAC", "7wire MAC", "MII Phy",
                                       "RMII Phy", "SMII Phy", "7wire Phy"};
    const std::vector<std::string> neither{"TC", "Unknown", "utopia phy", "T1/E1 repeater ",
                                           "mii mac"};
    for (int mode = 1; mode <= 4; ++mode)
        for (const auto& [names, ok] : {std::pair{&utopia, mode % 2 == 0},
                                        std::pair{&mii, mode % 2 == 1}, std::pair{&neither, false}})
            for (const auto& n : *names)
                EXPECT_EQ(interfaceAccepted(*rw::image::productForMode(mode), n), ok)
                    << mode << " " << n;
}

TEST(GenerationTable, OnlyFourRevisionsAreKnown) {
    for (int r : {0, 40, 41, 42, 43, 44, 45, 48, 49, 50, 51, 0x50, 255})
        EXPECT_EQ(generationName(static_cast<std::uint8_t>(r)), r == 41 || r == 44   ? "B"
                                                                : r == 49 || r == 50 ? "B+"
                                                                                     : "NotBorB+")
            << r;
}

TEST(FailureReport, LinesInHexAtMostFifty) {
    EXPECT_EQ(mismatchLines({{0x255, 0x14, 0x15}, {8191, 0xFF, 0x0}, {0, 0x55, 0x00}}),
              (std::vector<std::string>{"0255: wanted 14, found 15", "1FFF: wanted FF, found 00",
                                        "0000: wanted 55, found 00"}));
    std::vector<ByteMismatch> many;
    for (int k = 0; k < 50; ++k)
        many.push_back({k, 1, 2});
    EXPECT_EQ(std::tuple(mismatchLines(many).size(), mismatchLines(many).back()),
              std::tuple(50u, "0031: wanted 01, found 02"));
    many.insert(many.end(), {{50, 1, 2}, {51, 1, 2}});
    const auto lines = mismatchLines(many);
    EXPECT_EQ(std::tuple(lines.size(), lines.at(48), lines.at(49)),
              std::tuple(50u, "0030: wanted 01, found 02", "... and 3 more"));
}

TEST(BackupFileNames, Pattern) {
    EXPECT_EQ(backupFileName("E2MP", "20240131-235959"), "E2MP_backup_20240131-235959.bin");
    for (const char* ok : {"E2UB_backup_20240131-235959.bin", "E2UB_backup_20240131-235959-2.bin"})
        EXPECT_TRUE(isBackupFileName(ok)) << ok;
    for (const char* bad : {"E2UB_backup_20240131.bin", "E2UB_20240131-235959.bin",
                            "E2UB_backup_20240131-235959.bin.tmp"})
        EXPECT_FALSE(isBackupFileName(bad)) << bad;
    EXPECT_TRUE(std::regex_match(backupStamp(), std::regex("[0-9]{8}-[0-9]{6}")));
}

// Runs on several ports back up in the same second: the first name is taken as it is
// given, so the next run gets another.
TEST_F(BackupFiles, NewPathIsTakenSoRunsAtTheSameMomentNeverShareIt) {
    const std::string first = newBackupPath(dir.string(), "E2MB");
    const std::string second = newBackupPath(dir.string(), "E2MB");
    EXPECT_TRUE(fs::exists(first));
    EXPECT_NE(first, second);
    EXPECT_TRUE(isBackupFileName(fs::path(second).filename().string()));
}

TEST_F(BackupFiles, PruneKeepsTheNewest) {
    for (const char* name : {"E2MB_backup_20200101-000000.bin", "E2UP_backup_20210101-000000.bin",
                             "E2MB_backup_20220101-000000.bin", "E2MB_backup_20220101-000000-2.bin",
                             "E2MB_backup_20190101-000000.bin", "notes.txt", "E2MB_other.bin"})
        touch(name);
    EXPECT_EQ(pruneBackups(dir.string(), 3), 2);
    EXPECT_EQ(names(), (std::set<std::string>{
                           "E2UP_backup_20210101-000000.bin", "E2MB_backup_20220101-000000.bin",
                           "E2MB_backup_20220101-000000-2.bin", "notes.txt", "E2MB_other.bin"}));
    EXPECT_EQ(pruneBackups(dir.string(), 0), 0); // 0 keeps everything
    EXPECT_EQ(names().size(), 5u);
}

// Backups dated in the future (a clock that was wrong once) do not push out the one just
// written, and a name whose number does not fit is left alone instead of stopping the run.
TEST_F(BackupFiles, PruneNeverTakesTheBackupJustWritten) {
    const std::string huge = "E2MB_backup_20200101-000000-99999999999999999999.bin";
    const std::string just = "E2MB_backup_20240101-000000.bin";
    for (const char* name : {"E2MB_backup_20990101-000000.bin", "E2MB_backup_20990102-000000.bin",
                             "E2MB_backup_20990103-000000.bin", huge.c_str(), just.c_str()})
        touch(name);
    EXPECT_EQ(pruneBackups(dir.string(), 3, (dir / just).string()), 1);
    EXPECT_EQ(names(), (std::set<std::string>{just, "E2MB_backup_20990102-000000.bin",
                                              "E2MB_backup_20990103-000000.bin", huge}));
}

TEST_F(BackupFiles, SaveCreatesTheFolderAndUnwritableFolderIsReported) {
    rw::image::Image img{};
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>(i * 7);
    const fs::path target = dir / "a" / "b" / "E2MB_backup_20240101-000000.bin";
    std::string why;
    ASSERT_TRUE(saveBackup(target.string(), img, &why)) << why;
    EXPECT_EQ(rw::test::readBytes(target.string()),
              std::vector<std::uint8_t>(img.begin(), img.end()));
    touch("plain");
    EXPECT_TRUE(!backupFolderWritable((dir / "plain" / "sub").string(), &why) && !why.empty());
    EXPECT_TRUE(backupFolderWritable((dir / "new" / "sub").string(), &why, 8192)) << why;
    // The probe leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(dir / "new" / "sub"));
    // A folder without room for an image: a file can be made there, the image cannot.
    why.clear();
    const rw::test::FileSizeLimit full(4096);
    EXPECT_TRUE(backupFolderWritable((dir / "new").string()));
    EXPECT_TRUE(!backupFolderWritable((dir / "new").string(), &why, 8192) && !why.empty());
}

TEST_F(BackupFiles, DefaultFolderIsRomwrightUnderTheDataFolderWhateverTheProgramsName) {
    const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    const QString name = QCoreApplication::applicationName();
    std::vector<std::string> folders;
    for (const char* program : {"Romwright", "romwright"}) { // the window's and the command line's
        QCoreApplication::setApplicationName(program);
        folders.push_back(defaultBackupDir());
    }
    QCoreApplication::setApplicationName(name);
    saved.empty() ? ::unsetenv("XDG_DATA_HOME") : ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    EXPECT_EQ(folders, std::vector<std::string>(2, (dir / "Romwright" / "backups").string()));
}

// Eight runs that end at the same moment append their lines at once: every line arrives
// whole, none is lost, none is mixed into another.
TEST_F(BackupFiles, RunLogKeepsEveryLineWholeWhenRunsEndAtOnce) {
    const std::string path = runLogPath((dir / "backups").string());
    EXPECT_EQ(path, (dir / "runs.jsonl").string()) << "beside the backups";
    constexpr int kWriters = 8, kLines = 50;
    std::latch start(kWriters);
    std::vector<std::jthread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            start.arrive_and_wait();
            // Longer than a pipe's atomic write, so only the one write per line keeps it whole.
            const QString message(8000, QChar('a' + w));
            for (int i = 0; i < kLines; ++i)
                EXPECT_TRUE(appendRunLog(path, {{"writer", w}, {"n", i}, {"message", message}}));
        });
    writers.clear(); // joins them
    std::string why;
    const auto log = readRunLog(path, &why);
    ASSERT_TRUE(log) << why;
    EXPECT_EQ(log->unreadable, 0);
    ASSERT_EQ(log->entries.size(), static_cast<std::size_t>(kWriters * kLines));
    std::set<std::pair<int, int>> seen;
    for (const QJsonObject& e : log->entries) {
        const int w = e["writer"].toInt();
        EXPECT_EQ(e["message"].toString(), QString(8000, QChar('a' + w)));
        seen.insert({w, e["n"].toInt()});
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kLines));
}
