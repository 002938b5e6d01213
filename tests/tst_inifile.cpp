#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "platform/inifile.h"
#include "tests/support/testfiles.h"

namespace fs = std::filesystem;

namespace {

std::string Message(const std::string& path) {
    return "nach " + path + " kann nicht geschrieben werden";
}

class IniFileTest : public ::testing::Test {
  protected:
    std::string At(const std::string& name) const { return dir_.At(name); }

    // Anything a write left behind besides the files the test made.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir_.Path())) {
            const std::string name = e.path().filename().string();
            if (name.find(".tmp-") != std::string::npos) names.push_back(name);
        }
        return names;
    }

    TempDir dir_{"tst_inifile"};
};

// Gives the process a file-size limit of `bytes` for its lifetime. With SIGXFSZ ignored, a write
// beyond the limit fails with EFBIG, as on a full disk, instead of ending the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(IniFileTest, ReadIntegerTakesDecimalAndHexPatternsAndDefaultsOnAnythingElse) {
    struct Case {
        const char* stored;
        int32_t expected;
    };
    constexpr int32_t kDef = 4711;
    const Case cases[] = {
        {"768", 768},
        {"   42", 42},
        {"\t 42 ", 42},
        {"+17", 17},
        {"-5", -5},
        {"-0", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"0x300", 768},
        {"0X300", 768},
        {"$300", 768},
        {"$abcDEF", 0xABCDEF},
        {"0x7FFFFFFF", INT32_MAX},
        {"0x80000000", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"0x0000000300", 768},  // leading zeros are no digits of the number
        // everything below gives the default
        {"2147483648", kDef},
        {"-2147483649", kDef},
        {"99999999999999999999999", kDef},
        {"0x100000000", kDef},
        {"$123456789", kDef},
        {"", kDef},
        {"abc", kDef},
        {"12abc", kDef},
        {"1 2", kDef},
        {"- 5", kDef},
        {"+", kDef},
        {"-", kDef},
        {"$", kDef},
        {"0x", kDef},
        {"0xg1", kDef},
        {"$-1", kDef},
        {"-0x10", kDef},
        {"x300", kDef},
        {"1.5", kDef},
    };
    const std::string path = At("a.INI");
    IniFile ini(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("stored \"") + c.stored + "\"");
        WriteFile(path, std::string("[MCU]\r\nBaseAdress=") + c.stored + "\r\n");
        EXPECT_EQ(ini.ReadInteger("MCU", "BaseAdress", kDef), c.expected);
    }
    WriteFile(path, "[MCU]\nOther=1\n");
    EXPECT_EQ(ini.ReadInteger("MCU", "BaseAdress", kDef), kDef) << "missing key";
}

TEST_F(IniFileTest, ReadStringFindsTheRightLineAndStripsOnlySurroundingBlanks) {
    struct Case {
        const char* name;
        std::string file;
        const char* section;
        const char* key;
        std::optional<std::string> expected;  // nullopt: the default
    };
    const Case cases[] = {
        {"plain", "[MCU]\nk=v\n", "MCU", "k", "v"},
        {"empty value is not missing", "[MCU]\nk=\n", "MCU", "k", ""},
        {"blanks around key and value", "[MCU]\n  k \t=  a b \t\n", "MCU", "k", "a b"},
        {"quotes kept", "[MCU]\nk=\"a b\"\n", "MCU", "k", "\"a b\""},
        {"only the first = separates", "[MCU]\nk=a=b\n", "MCU", "k", "a=b"},
        {"CRLF is no part of the value", "[MCU]\r\nk=v\r\n", "MCU", "k", "v"},
        {"last line without line end", "[MCU]\nk=v", "MCU", "k", "v"},
        {"last line ending in a bare CR", "[MCU]\r\nk=v\r", "MCU", "k", "v"},
        {"section and key in another case", "[mcu]\nBASEADRESS=5\n", "MCU", "BaseAdress", "5"},
        {"blanks inside brackets", "[ MCU ]\nk=1\n", "MCU", "k", "1"},
        {"comment after the header", "[MCU] ; board\nk=1\n", "MCU", "k", "1"},
        {"byte order mark before the first section", "\xEF\xBB\xBF[MCU]\nk=1\n", "MCU", "k", "1"},
        {"first of duplicate keys", "[MCU]\nk=1\nK=2\n", "MCU", "k", "1"},
        {"first of duplicate sections", "[MCU]\nk=1\n[X]\n[mcu]\nk=2\n", "MCU", "k", "1"},
        {"second duplicate section is not read", "[MCU]\nj=1\n[MCU]\nk=2\n", "MCU", "k",
         std::nullopt},
        {"key before any section", "k=1\n[MCU]\n", "MCU", "k", std::nullopt},
        {"key in another section", "[A]\nk=1\n[MCU]\nj=2\n", "MCU", "k", std::nullopt},
        {"commented keys", "[MCU]\n;k=1\n#k=2\n  ;k=3\n", "MCU", "k", std::nullopt},
        {"line without =", "[MCU]\nk\nk=3\n", "MCU", "k", "3"},
        {"unclosed bracket is no section", "[MCU\nk=1\n", "MCU", "k", std::nullopt},
        {"name prefix is not the name", "[MCU]\nkk=1\n", "MCU", "k", std::nullopt},
        {"bytes outside ASCII kept", "[MCU]\nk=\xC3\xA4\xFF\x01\n", "MCU", "k", "\xC3\xA4\xFF\x01"},
    };
    const std::string path = At("s.INI");
    IniFile ini(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(path, c.file);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected.value_or("<default>"));
    }
}

TEST_F(IniFileTest, ReadStringCutsLongValuesAt2047Characters) {
    const std::string path = At("long.INI");
    std::string value(3000, 'x');
    for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<char>('a' + i % 26);
    WriteFile(path, "[MCU]\nk=" + value + "\nnext=1\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("MCU", "k", ""), value.substr(0, 2047));
    EXPECT_EQ(ini.ReadInteger("MCU", "next", 0), 1);
}

TEST_F(IniFileTest, NothingReadableGivesTheDefaultsAndOpeningTouchesNoFile) {
    ASSERT_EQ(::mkfifo(At("fifo.INI").c_str(), 0644), 0);  // would block a plain open
    fs::create_directory(At("dir.INI"));
    WriteFile(At("plain"), "[MCU]\nk=1\n");
    for (const std::string& path :
         {At("missing.INI"), At("fifo.INI"), At("dir.INI"), At("plain/under.INI")}) {
        SCOPED_TRACE(path);
        IniFile ini(path);
        EXPECT_EQ(ini.ReadInteger("MCU", "k", 9), 9);
        EXPECT_EQ(ini.ReadString("MCU", "k", "d"), "d");
    }
    EXPECT_FALSE(fs::exists(At("missing.INI")));
}

TEST_F(IniFileTest, WriteStringChangesOnlyTheOneValue) {
    struct Case {
        const char* name;
        std::optional<std::string> before;  // nullopt: no file
        std::string value;
        std::string after;
    };
    const Case cases[] = {
        {"first write creates file and section", std::nullopt, "v", "[MCU]\nk=v\n"},
        {"missing section appended in the file's CRLF style", "; top\r\n[Other]\r\na = 1\r\n", "v",
         "; top\r\n[Other]\r\na = 1\r\n[MCU]\r\nk=v\r\n"},
        {"missing section after a last line without line end", "[Other]\na=1", "v",
         "[Other]\na=1\n[MCU]\nk=v\n"},
        {"missing key after the section's last entry, before blanks and comments",
         "[MCU]\na=1\n\n; about Z\n[Z]\nk=2\n", "v", "[MCU]\na=1\nk=v\n\n; about Z\n[Z]\nk=2\n"},
        {"missing key in an empty section", "[MCU]\n[Z]\n", "v", "[MCU]\nk=v\n[Z]\n"},
        {"missing key in a last section without line end", "[MCU]\na=1", "v", "[MCU]\na=1\nk=v\n"},
        {"last line ending in a bare CR only lacks the LF", "[MCU]\r\na=1\r", "v",
         "[MCU]\r\na=1\r\nk=v\r\n"},
        {"value replaced where it stands, spelling and blanks kept", "[mcu]\n  K = old  \nx=1\n",
         "v", "[mcu]\n  K = v\nx=1\n"},
        {"CRLF line replaced", "[MCU]\r\nk=1\r\n", "v", "[MCU]\r\nk=v\r\n"},
        {"last line without line end replaced", "[MCU]\nk=1", "v", "[MCU]\nk=v"},
        {"empty value replaced", "[MCU]\nk=\n", "v", "[MCU]\nk=v\n"},
        {"empty value written", "[MCU]\nk=1\n", "", "[MCU]\nk=\n"},
        {"first of duplicates replaced", "[MCU]\nk=1\nk=2\n[MCU]\nk=3\n", "v",
         "[MCU]\nk=v\nk=2\n[MCU]\nk=3\n"},
        {"key before any section is not the section's", "k=0\n[MCU]\n", "v", "k=0\n[MCU]\nk=v\n"},
        {"commented key is not the key", "[MCU]\n;k=1\n", "v", "[MCU]\nk=v\n;k=1\n"},
        {"value cut at a line break", "[MCU]\nk=1\n", "v\n[X]\ny=1", "[MCU]\nk=v\n"},
        {"value cut at a CR", "[MCU]\nk=1\n", "v\rw", "[MCU]\nk=v\n"},
        {"byte order mark, other bytes and odd lines survive",
         "\xEF\xBB\xBF[\xC3\x84]\nnot an entry\n[MCU] ;c\nk=1\n\xC2\xB5=\xFF\n", "v",
         "\xEF\xBB\xBF[\xC3\x84]\nnot an entry\n[MCU] ;c\nk=v\n\xC2\xB5=\xFF\n"},
    };
    const std::string path = At("w.INI");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path);
        if (c.before) WriteFile(path, *c.before);
        IniFile ini(path);
        ini.WriteString("MCU", "k", c.value);
        EXPECT_EQ(ReadFile(path), c.after);
    }
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(IniFileTest, IntegersAreWrittenInDecimalAndReadBack) {
    const std::string path = At("i.INI");
    IniFile ini(path);
    for (const int32_t value : {INT32_MIN, -1, 0, 768, INT32_MAX}) {
        SCOPED_TRACE(value);
        ini.WriteInteger("MCU", "BaseAdress", value);
        EXPECT_EQ(ReadFile(path), "[MCU]\nBaseAdress=" + std::to_string(value) + "\n");
        EXPECT_EQ(ini.ReadInteger("MCU", "BaseAdress", 4711), value);
    }
}

TEST_F(IniFileTest, NamesTheFileCouldNotGiveBackAreRejected) {
    const std::string path = At("n.INI");
    WriteFile(path, "[MCU]\nk=1\n");
    IniFile ini(path);
    const std::pair<const char*, const char*> names[] = {
        {"", "k"},     {"MCU", ""},    {" MCU", "k"},  {"MCU", "k "},
        {"M]CU", "k"}, {"M\nCU", "k"}, {"MCU", "a=b"}, {"MCU", "a\rb"},
        {"MCU", "[k"}, {"MCU", ";k"},  {"MCU", "#k"},
    };
    for (const auto& [section, key] : names) {
        SCOPED_TRACE(std::string(section) + "/" + key);
        EXPECT_THROW(ini.WriteString(section, key, "2"), std::invalid_argument);
    }
    EXPECT_EQ(ReadFile(path), "[MCU]\nk=1\n");
}

TEST_F(IniFileTest, RefusedWritesRaiseTheErrorAndLeaveEverythingAsItWas) {
    struct Case {
        const char* name;
        std::function<std::string()> setUp;  // returns the settings path
        std::optional<std::string> kept;     // the file's content that must survive
    };
    const std::string original = "; keep\n[MCU]\nk=1\n" + std::string(200, ';') + "\n";
    const Case cases[] = {
        {"settings path is a folder",
         [&] {
             fs::create_directory(At("dir.INI"));
             return At("dir.INI");
         },
         std::nullopt},
        {"folder is a regular file",
         [&] {
             WriteFile(At("plain"), "x");
             return At("plain/p.INI");
         },
         std::nullopt},
        {"folder does not exist", [&] { return At("none/p.INI"); }, std::nullopt},
        // Not a device node such as /dev/full: a faulty writer could replace it for the whole
        // machine. A FIFO stands for every file that is not a regular one.
        {"a FIFO, not a file",
         [&] {
             ::mkfifo(At("fifo.INI").c_str(), 0644);
             return At("fifo.INI");
         },
         std::nullopt},
        {"write-protected file",
         [&] {
             WriteFile(At("ro.INI"), original);
             fs::permissions(At("ro.INI"), fs::perms::owner_read | fs::perms::group_read);
             return At("ro.INI");
         },
         original},
        {"write-protected folder, new file",
         [&] {
             fs::create_directory(At("ro"));
             fs::permissions(At("ro"), fs::perms::owner_read | fs::perms::owner_exec);
             return At("ro/p.INI");
         },
         std::nullopt},
        {"write-protected folder, existing file",
         [&] {
             fs::create_directory(At("ro2"));
             WriteFile(At("ro2/p.INI"), original);
             fs::permissions(At("ro2"), fs::perms::owner_read | fs::perms::owner_exec);
             return At("ro2/p.INI");
         },
         original},
        {"link to nowhere",
         [&] {
             fs::create_symlink(At("gone.INI"), At("dangling.INI"));
             return At("dangling.INI");
         },
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.setUp();
        IniFile ini(path);
        try {
            ini.WriteString("MCU", "k", "2");
            ADD_FAILURE() << "write was not refused";
        } catch (const IniWriteError& e) {
            EXPECT_EQ(e.what(), Message(path));
        }
        if (c.kept) {
            EXPECT_EQ(ReadFile(path), *c.kept);
        }
    }
    EXPECT_FALSE(fs::exists(At("ro/p.INI")));
    EXPECT_FALSE(fs::exists(At("gone.INI")));
    EXPECT_TRUE(fs::is_fifo(At("fifo.INI")));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(IniFileTest, DiskFullInTheMiddleOfAWriteKeepsTheWholeOldFile) {
    const std::string path = At("full.INI");
    std::string original = "[MCU]\nk=1\n";
    for (int i = 0; i < 50; ++i) original += "; line " + std::to_string(i) + "\n";
    WriteFile(path, original);
    IniFile ini(path);
    {
        // The new text is longer than the limit, so its write stops part-way.
        FileSizeLimit limit(original.size() / 2);
        EXPECT_THROW(ini.WriteString("MCU", "k", "a longer value"), IniWriteError);
    }
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_TRUE(Leftovers().empty());
    ini.WriteString("MCU", "k", "a longer value");
    EXPECT_EQ(ini.ReadString("MCU", "k", ""), "a longer value");
}

TEST_F(IniFileTest, RewritingTheValueAlreadyStoredLeavesTheFileAlone) {
    const std::string path = At("same.INI");
    WriteFile(path, "[MCU]\nBaseAdress = 768\n");
    fs::permissions(path, fs::perms::owner_read);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    IniFile ini(path);
    EXPECT_NO_THROW(ini.WriteInteger("mcu", "baseadress", 768));
    EXPECT_THROW(ini.WriteInteger("MCU", "BaseAdress", 769), IniWriteError);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(path), "[MCU]\nBaseAdress = 768\n");
}

TEST_F(IniFileTest, ReplacedFileKeepsItsModeAndLinksStayLinks) {
    const std::string path = At("mode.INI");
    WriteFile(path, "[MCU]\nk=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("mode.INI", At("link.INI"));

    IniFile(At("link.INI")).WriteString("MCU", "k", "via link");
    IniFile(path).WriteString("MCU", "j", "direct");

    EXPECT_TRUE(fs::is_symlink(At("link.INI")));
    EXPECT_EQ(ReadFile(path), "[MCU]\nk=via link\nj=direct\n");
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A new file gets the usual mode under the process's umask, not the temporary file's 0600.
    const mode_t oldMask = ::umask(027);
    IniFile(At("new.INI")).WriteString("MCU", "k", "1");
    ::umask(oldMask);
    EXPECT_EQ(fs::status(At("new.INI")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
