#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/loadsettings.h"
#include "platform/inifile.h"
#include "tests/support/testfiles.h"

namespace fs = std::filesystem;

namespace {

TEST(SettingsPath, ExtensionReplacedOrAppendedAndFolderKept) {
    struct Case {
        const char* exe;
        const char* ini;
        const char* folder;
    };
    const Case cases[] = {
        {"/opt/x/scanbench", "/opt/x/scanbench.INI", "/opt/x/"},
        {"/opt/x/Probe.exe", "/opt/x/Probe.INI", "/opt/x/"},
        {"/opt/x/a.b.c", "/opt/x/a.b.INI", "/opt/x/"},
        {"/opt/x.y/probe", "/opt/x.y/probe.INI", "/opt/x.y/"},
        {"/opt/x/Probe.", "/opt/x/Probe.INI", "/opt/x/"},
        {"/opt/x/.probe", "/opt/x/.probe.INI", "/opt/x/"},
        {"/opt/a:b\\c/Probe", "/opt/a:b\\c/Probe.INI", "/opt/a:b\\c/"},
        {"/Probe.exe", "/Probe.INI", "/"},
        {"C:\\Bench\\Probe.exe", "C:\\Bench\\Probe.INI", "C:\\Bench\\"},
        {"C:\\Ben.ch\\Probe", "C:\\Ben.ch\\Probe.INI", "C:\\Ben.ch\\"},
        {"C:Probe.exe", "C:Probe.INI", "C:"},
        {"Probe.exe", "Probe.INI", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        EXPECT_EQ(SettingsPathFor(c.exe), c.ini);
        EXPECT_EQ(ExecutableFolder(c.exe), c.folder);
    }
}

class LoadSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        std::string templ = std::string(base && *base ? base : "/tmp") + "/tst_loadsettings.XXXXXX";
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        dir_ = templ + "/";
        exe_ = dir_ + "Probe.exe";
        ini_ = dir_ + "Probe.INI";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // "@" stands for the executable's folder.
    std::string Here(std::string text) const {
        for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
            text.replace(at, 1, dir_);
            at += dir_.size();
        }
        return text;
    }

    std::string dir_, exe_, ini_;
    std::string iniFileName_;
    ConnectionSettings settings_;
};

TEST_F(LoadSettingsTest, FirstStartCreatesTheFileWithTheThreeDefaultsInOrder) {
    LoadSettings(exe_, iniFileName_, settings_);
    EXPECT_EQ(iniFileName_, ini_);
    EXPECT_EQ(settings_.BaseAddress, 768);
    EXPECT_EQ(settings_.FSystemFileName, dir_ + "SYSTEM.DAT");
    EXPECT_EQ(settings_.FBootFileName, dir_ + "KORVA.ELF");
    EXPECT_EQ(ReadFile(ini_), Here("[MCU]\nBaseAdress=768\nSystemFileName=@SYSTEM.DAT\n"
                                   "BootFileName=@KORVA.ELF\n"));

    // A second start finds everything and changes nothing.
    ConnectionSettings again;
    LoadSettings(exe_, iniFileName_, again);
    EXPECT_EQ(again.BaseAddress, 768);
    EXPECT_EQ(again.FSystemFileName, settings_.FSystemFileName);
    EXPECT_EQ(again.FBootFileName, settings_.FBootFileName);
}

TEST_F(LoadSettingsTest, ExistingFileIsReadCompletedAndRewrittenInPlace) {
    struct Case {
        const char* name;
        const char* before;
        int32_t base;
        const char* system;
        const char* boot;
        const char* after;
    };
    const Case cases[] = {
        {"hexadecimal base rewritten as decimal",
         "[MCU]\nBaseAdress=0x300\nSystemFileName=s\nBootFileName=b\n", 768, "s", "b",
         "[MCU]\nBaseAdress=768\nSystemFileName=s\nBootFileName=b\n"},
        {"dollar base rewritten as decimal",
         "[MCU]\nBaseAdress=$300\nSystemFileName=s\nBootFileName=b\n", 768, "s", "b",
         "[MCU]\nBaseAdress=768\nSystemFileName=s\nBootFileName=b\n"},
        {"plus sign dropped", "[MCU]\nBaseAdress=+512\nSystemFileName=s\nBootFileName=b\n", 512,
         "s", "b", "[MCU]\nBaseAdress=512\nSystemFileName=s\nBootFileName=b\n"},
        {"32-bit pattern", "[MCU]\nBaseAdress=$FFFFFFFF\nSystemFileName=s\nBootFileName=b\n", -1,
         "s", "b", "[MCU]\nBaseAdress=-1\nSystemFileName=s\nBootFileName=b\n"},
        {"empty base gives the default", "[MCU]\nBaseAdress=\nSystemFileName=s\nBootFileName=b\n",
         768, "s", "b", "[MCU]\nBaseAdress=768\nSystemFileName=s\nBootFileName=b\n"},
        {"text base gives the default",
         "[MCU]\nBaseAdress=port 3\nSystemFileName=s\nBootFileName=b\n", 768, "s", "b",
         "[MCU]\nBaseAdress=768\nSystemFileName=s\nBootFileName=b\n"},
        {"empty system file stays empty", "[MCU]\nBaseAdress=768\nSystemFileName=\n", 768, "",
         "@KORVA.ELF", "[MCU]\nBaseAdress=768\nSystemFileName=\nBootFileName=@KORVA.ELF\n"},
        {"keys in another case replaced in place, missing one added at the section's end",
         "[mcu]\nbootfilename = b\nbaseadress=$10\n", 16, "@SYSTEM.DAT", "b",
         "[mcu]\nbootfilename = b\nbaseadress=16\nSystemFileName=@SYSTEM.DAT\n"},
        {"other sections and keys survive, CRLF kept",
         "; bench 3\r\n[Other]\r\nBaseAdress=1\r\n[MCU]\r\nBaseAdress=512\r\nExtra=yes\r\n\r\n"
         "[Tail]\r\ny=2",
         512, "@SYSTEM.DAT", "@KORVA.ELF",
         "; bench 3\r\n[Other]\r\nBaseAdress=1\r\n[MCU]\r\nBaseAdress=512\r\nExtra=yes\r\n"
         "SystemFileName=@SYSTEM.DAT\r\nBootFileName=@KORVA.ELF\r\n\r\n[Tail]\r\ny=2"},
        {"section missing from an existing file", "[Other]\nx=1\n", 768, "@SYSTEM.DAT",
         "@KORVA.ELF",
         "[Other]\nx=1\n[MCU]\nBaseAdress=768\nSystemFileName=@SYSTEM.DAT\n"
         "BootFileName=@KORVA.ELF\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(ini_, Here(c.before));
        ConnectionSettings s;
        LoadSettings(exe_, iniFileName_, s);
        EXPECT_EQ(s.BaseAddress, c.base);
        EXPECT_EQ(s.FSystemFileName, Here(c.system));
        EXPECT_EQ(s.FBootFileName, Here(c.boot));
        EXPECT_EQ(ReadFile(ini_), Here(c.after));
    }
}

TEST_F(LoadSettingsTest, NameWithoutExtensionGetsIniAppended) {
    LoadSettings(dir_ + "scanbench", iniFileName_, settings_);
    EXPECT_EQ(iniFileName_, dir_ + "scanbench.INI");
    EXPECT_EQ(IniFile(iniFileName_).ReadInteger("MCU", "BaseAdress", 0), 768);
}

TEST_F(LoadSettingsTest, RefusedWriteEndsAtThatStepKeepingWhatWasSetBefore) {
    struct Case {
        const char* name;
        std::optional<std::string> file;  // the settings file, written read-only
        bool pathIsFolder;
        int32_t base;
        const char* system;  // what was set before the refused write
    };
    const Case cases[] = {
        {"settings path is a folder: the first write refuses", std::nullopt, true, 768, ""},
        {"read-only file with a hexadecimal base: the first write refuses",
         "[MCU]\nBaseAdress=0x10\n", false, 16, ""},
        {"read-only file that holds only the base: the second write refuses",
         "[MCU]\nBaseAdress=768\n", false, 768, "@SYSTEM.DAT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(ini_);
        if (c.pathIsFolder) fs::create_directory(ini_);
        if (c.file) {
            WriteFile(ini_, *c.file);
            fs::permissions(ini_, fs::perms::owner_read);
        }
        ConnectionSettings s;
        std::string iniFileName;
        try {
            LoadSettings(exe_, iniFileName, s);
            ADD_FAILURE() << "no write was refused";
        } catch (const IniWriteError& e) {
            EXPECT_EQ(e.what(), "nach " + ini_ + " kann nicht geschrieben werden");
        }
        EXPECT_EQ(iniFileName, ini_);
        EXPECT_EQ(s.BaseAddress, c.base);
        EXPECT_EQ(s.FSystemFileName, Here(c.system));
        EXPECT_EQ(s.FBootFileName, "");
        if (c.file) {
            EXPECT_EQ(ReadFile(ini_), *c.file);
        }
    }
}

TEST_F(LoadSettingsTest, FolderThatCannotExistRefusesTheFirstWrite) {
    WriteFile(dir_ + "plain", "not a folder");
    const std::string exe = dir_ + "plain/Probe.exe";
    EXPECT_THROW(LoadSettings(exe, iniFileName_, settings_), IniWriteError);
    EXPECT_EQ(iniFileName_, dir_ + "plain/Probe.INI");
    EXPECT_EQ(settings_.BaseAddress, 768);
    EXPECT_EQ(settings_.FSystemFileName, "");
}

}  // namespace
