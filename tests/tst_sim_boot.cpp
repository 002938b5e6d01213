// Booting and initialising the simulated board: its two file formats and the error number of
// every way they can go wrong.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/board.h"
#include "sim/bootimage.h"
#include "sim/errors.h"
#include "sim/systemfile.h"
#include "tests/support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using namespace zorix;

const fs::path kSources = fs::path(__FILE__).parent_path().parent_path();

// --- KORVA.ELF ---

TEST(BootImage, EveryDefectHasItsOwnNumber) {
    const std::string payload = "board sim\nrevision 1\n";
    const std::string good = MakeBootImage(payload);
    std::string flipped = good;
    flipped.back() ^= 0x01;
    std::string crlf = good.substr(0, good.find("\n\n") + 2);
    for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        crlf.insert(at, "\r");
    crlf += payload;
    struct Case {
        const char* what;
        std::string image;
        int32_t expected;
    } cases[] = {
        {"valid", good, kOk},
        {"valid with CR LF header", crlf, kOk},
        {"empty file", "", kErrBootMagic},
        {"other format version", "KORVAFW 2" + good.substr(9), kErrBootMagic},
        {"ELF file",
         "\x7f"
         "ELF\x02\x01\x01",
         kErrBootMagic},
        {"payload one byte short", good.substr(0, good.size() - 1), kErrBootLength},
        {"payload one byte long", good + "x", kErrBootLength},
        {"length not a number", "KORVAFW 1\nlength -5\ncrc32 00000000\n\n", kErrBootLength},
        {"header never closed", "KORVAFW 1\nlength 0\ncrc32 00000000\n", kErrBootLength},
        {"payload byte changed", flipped, kErrBootChecksum},
        {"checksum line misspelt", "KORVAFW 1\nlength 0\ncrc 00000000\n\n", kErrBootChecksum},
        {"checksum too short", "KORVAFW 1\nlength 0\ncrc32 0\n\n", kErrBootChecksum},
        {"empty payload, right checksum", "KORVAFW 1\nlength 0\ncrc32 00000000\n\n", kOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string detail;
        EXPECT_EQ(CheckBootImage(c.image, detail), c.expected);
        EXPECT_EQ(detail.empty(), c.expected == kOk) << detail;
    }
}

TEST(BootImage, ChecksumIsTheStandardCrc32) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);  // the published check value
    EXPECT_EQ(Crc32(""), 0u);
}

// --- SYSTEM.DAT ---

TEST(SystemFile, ReadsEveryKeyInAnyCaseWithComments) {
    SystemConfig c;
    std::string error;
    ASSERT_TRUE(
        ParseSystemFile("# board\r\n"
                        "basesamplerate = 1000\r\n"
                        "  SpoolRecords=250   # small\n"
                        "\n"
                        "SEED = 0x10\n"
                        "PhysMem = no\n"
                        "StrobeDelay = never\n",
                        c, error))
        << error;
    EXPECT_EQ(c.baseSampleRate, 1000);
    EXPECT_EQ(c.spoolRecords, 250);
    EXPECT_EQ(c.seed, 16u);
    EXPECT_FALSE(c.physMem);
    EXPECT_FALSE(c.strobeDelayMs.has_value());

    SystemConfig defaults;
    ASSERT_TRUE(ParseSystemFile("# nothing set\n", defaults, error));
    EXPECT_EQ(defaults.baseSampleRate, 20000);
    EXPECT_EQ(defaults.spoolRecords, 100000);
    EXPECT_TRUE(defaults.physMem);
}

TEST(SystemFile, MalformedLinesAreRefusedWithTheirLineNumber) {
    struct Case {
        const char* text;
        const char* expected;  // part of the error
    } cases[] = {
        {"Seed = 1\nBaseSampleRate 100\n", "line 2"},
        {"Colour = blue\n", "unknown key 'Colour'"},
        {"BaseSampleRate = 0\n", "BaseSampleRate"},
        {"BaseSampleRate = 1000001\n", "BaseSampleRate"},
        {"SpoolRecords = 12k\n", "SpoolRecords"},
        {"Seed = -1\n", "Seed"},
        {"PhysMem = maybe\n", "PhysMem"},
        {"StrobeDelay = soon\n", "StrobeDelay"},
        {"Seed = 1\nseed = 2\n", "twice"},
        {"Seed =\n", "line 1"},
        {"= 5\n", "line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SystemConfig config;
        std::string error;
        EXPECT_FALSE(ParseSystemFile(c.text, config, error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
    SystemConfig config;
    std::string error;
    EXPECT_FALSE(ParseSystemFile(std::string("Seed = 1\n\0\x01", 11), config, error));
}

// --- the board ---

class BoardBoot : public testing::Test {
  protected:
    std::string Boot(SimBoard& board) {
        std::string image = dir.Write("KORVA.ELF", MakeBootImage("fw\n"));
        EXPECT_EQ(board.BootFile(image.c_str(), 0x300), kOk);
        return image;
    }
    int32_t Init(SimBoard& board, const char* path, int32_t base = 0x300) {
        int32_t out = 0;
        return board.InitMcuSystem3(area, area2, base, path, &out);
    }

    TempDir dir{"tst_sim_boot"};
    std::ostringstream diagnostics;
    SimBoardSetup setup = [this] {
        SimBoardSetup s;
        s.diagnostics = &diagnostics;
        return s;
    }();
    unsigned char area[SimBoard::kSystemAreaBytes] = {};
    unsigned char area2[SimBoard::kSystemArea2Bytes] = {};
    const std::string system = dir.Write("SYSTEM.DAT", "Seed = 3\n");
};

TEST_F(BoardBoot, ColdBoardRefusesInitUntilBooted) {
    SimBoard board(setup);
    EXPECT_EQ(Init(board, system.c_str()), kErrFirmwareNotLoaded);
    Boot(board);
    EXPECT_EQ(Init(board, system.c_str()), kOk);
}

TEST_F(BoardBoot, BootFailuresHaveDistinctNumbersAndLeaveTheBoardCold) {
    const std::string image = MakeBootImage("firmware\n");
    std::string badCrc = image;
    badCrc.back() = 'X';
    const std::string folder = dir.At("folder.elf");
    fs::create_directory(folder);
    const std::string magic = dir.Write("magic.elf", "MZ" + image);
    const std::string shortImage = dir.Write("short.elf", image.substr(0, image.size() - 2));
    const std::string crc = dir.Write("crc.elf", badCrc);
    struct Case {
        const char* what;
        const char* path;
        int32_t expected;
    } cases[] = {
        {"null path", nullptr, kErrBootNoPath},
        {"empty path", "", kErrBootNoPath},
        {"missing file", "/nonexistent/KORVA.ELF", kErrBootUnreadable},
        {"a directory", folder.c_str(), kErrBootUnreadable},
        {"bad magic", magic.c_str(), kErrBootMagic},
        {"bad length", shortImage.c_str(), kErrBootLength},
        {"bad checksum", crc.c_str(), kErrBootChecksum},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimBoard board(setup);
        EXPECT_EQ(board.BootFile(c.path, 0), c.expected);
        EXPECT_EQ(Init(board, system.c_str(), 0), kErrFirmwareNotLoaded);
    }
    EXPECT_NE(diagnostics.str().find("crc.elf"), std::string::npos) << diagnostics.str();
}

TEST_F(BoardBoot, InitFailuresHaveDistinctNumbers) {
    fs::create_directory(dir.At("folder.dat"));
    const std::string malformed = dir.Write("bad.dat", "Seed = 1\nSpeed = 5\n");
    const std::string folder = dir.At("folder.dat");
    struct Case {
        const char* what;
        const char* path;
        int32_t base;
        int32_t expected;
    } cases[] = {
        {"null path", nullptr, 0x300, kErrSystemFileNoPath},
        {"empty path", "", 0x300, kErrSystemFileNoPath},
        {"missing file", "/nonexistent/SYSTEM.DAT", 0x300, kErrSystemFileUnreadable},
        {"a directory", folder.c_str(), 0x300, kErrSystemFileUnreadable},
        {"malformed", malformed.c_str(), 0x300, kErrSystemFileMalformed},
        {"another base address", system.c_str(), 0x310, kErrBaseAddress},
        {"valid", system.c_str(), 0x300, kOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimBoard board(setup);
        Boot(board);
        EXPECT_EQ(Init(board, c.path, c.base), c.expected);
    }
    EXPECT_NE(diagnostics.str().find("bad.dat line 2: unknown key 'Speed'"), std::string::npos)
        << diagnostics.str();
}

TEST_F(BoardBoot, InitWritesNoMoreThanTheAreasHold) {
    // Each area sits inside a larger block whose bytes around it must stay as they were.
    constexpr unsigned char kGuard = 0xA5;
    unsigned char big[SimBoard::kSystemAreaBytes + 64];
    unsigned char small[SimBoard::kSystemArea2Bytes + 64];
    std::memset(big, kGuard, sizeof big);
    std::memset(small, kGuard, sizeof small);
    int32_t out = 0;
    SimBoard board(setup);
    Boot(board);
    ASSERT_EQ(board.InitMcuSystem3(big + 32, small + 32, 0x300, system.c_str(), &out), kOk);
    for (std::size_t i = 0; i < sizeof big; ++i) {
        if (i < 32 || i >= 32 + SimBoard::kSystemAreaBytes) {
            ASSERT_EQ(big[i], kGuard) << i;
        }
    }
    for (std::size_t i = 0; i < sizeof small; ++i) {
        if (i < 32 || i >= 32 + SimBoard::kSystemArea2Bytes) {
            ASSERT_EQ(small[i], kGuard) << i;
        }
    }
    EXPECT_EQ(std::memcmp(big + 32, "ZXSA", 4), 0);
    EXPECT_EQ(out, SimBoard::kBoardRevision);
    // Null areas and output are skipped, not written through.
    EXPECT_EQ(board.InitMcuSystem3(nullptr, nullptr, 0x300, system.c_str(), nullptr), kOk);
}

TEST_F(BoardBoot, NothingElseWorksBeforeInitAndAfterAFailedReinit) {
    SimBoard board(setup);
    Boot(board);
    OptionDescriptor status{0, 1, 3, 1100, 0, 4, 0};
    int32_t value = 0;
    unsigned char buffer[200];
    auto expectOffline = [&] {
        EXPECT_EQ(board.rdOptionInt(&status, &value), kErrNotInitialised);
        EXPECT_EQ(board.rdScannerBuffer(buffer, sizeof buffer), kErrBufferNotInitialised);
        EXPECT_EQ(board.SendReqScannerBuffer(buffer, 0), kErrBufferNotInitialised);
        EXPECT_EQ(status.location, 0);
    };
    expectOffline();
    ASSERT_EQ(Init(board, system.c_str()), kOk);
    EXPECT_EQ(board.rdOptionInt(&status, &value), kOptionSuccess);
    status.location = 0;
    EXPECT_EQ(Init(board, "/nonexistent/SYSTEM.DAT"), kErrSystemFileUnreadable);
    expectOffline();
    EXPECT_EQ(board.CleanServiceUsers(), kNoServiceUsers);  // needs no initialisation
}

TEST_F(BoardBoot, CommittedSampleFilesBootAndInitialise) {
    const std::string image = (kSources / "sim" / "KORVA.ELF").string();
    const std::string systemFile = (kSources / "sim" / "SYSTEM.DAT").string();
    SimBoard board(setup);
    EXPECT_EQ(board.BootFile(image.c_str(), 0), kOk) << diagnostics.str();
    int32_t out = 0;
    EXPECT_EQ(board.InitMcuSystem3(area, area2, 0, systemFile.c_str(), &out), kOk)
        << diagnostics.str();
}

}  // namespace
