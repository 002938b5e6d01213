#include "app/loadsettings.h"

#include "platform/inifile.h"

namespace {

constexpr const char* kSection = "MCU";
constexpr int32_t kDefaultBaseAddress = 0x300;

// Where the file name starts. On Linux "/" is the only separator and may be followed by any
// byte, "\" and ":" included; those two separate only in a path without "/" (C:\Bench\Probe.exe).
std::size_t NameStart(const std::string& path) {
    std::size_t sep = path.rfind('/');
    if (sep == std::string::npos) sep = path.find_last_of("\\:");
    return sep == std::string::npos ? 0 : sep + 1;
}

}  // namespace

std::string SettingsPathFor(const std::string& executablePath) {
    const std::size_t name = NameStart(executablePath);
    const std::size_t dot = executablePath.rfind('.');
    // A leading dot marks a hidden file on Linux, not an extension.
    const bool hasExtension = dot != std::string::npos && dot > name;
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".INI";
}

std::string ExecutableFolder(const std::string& executablePath) {
    return executablePath.substr(0, NameStart(executablePath));
}

void LoadSettings(const std::string& executablePath, std::string& iniFileName,
                  ConnectionSettings& settings) {
    iniFileName = SettingsPathFor(executablePath);
    IniFile ini(iniFileName);
    const std::string folder = ExecutableFolder(executablePath);

    settings.BaseAddress = ini.ReadInteger(kSection, "BaseAdress", kDefaultBaseAddress);
    ini.WriteInteger(kSection, "BaseAdress", settings.BaseAddress);

    settings.FSystemFileName = folder + "SYSTEM.DAT";
    settings.FSystemFileName = ini.ReadString(kSection, "SystemFileName", settings.FSystemFileName);
    ini.WriteString(kSection, "SystemFileName", settings.FSystemFileName);

    settings.FBootFileName = folder + "KORVA.ELF";
    settings.FBootFileName = ini.ReadString(kSection, "BootFileName", settings.FBootFileName);
    ini.WriteString(kSection, "BootFileName", settings.FBootFileName);
}
