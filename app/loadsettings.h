// Reads the board settings from the INI file beside the executable and writes each value back at
// once, so a first start creates the file and a later one completes it.
#pragma once

#include <string>

#include "device/connection.h"

// The executable's path with its extension (after the last "." of the file name) replaced by
// ".INI", or ".INI" appended when the name has none.
std::string SettingsPathFor(const std::string& executablePath);
// Up to and including the last "/" (or "\" or ":"), the folder the default paths start from.
std::string ExecutableFolder(const std::string& executablePath);

// Sets iniFileName, then the three settings in turn. A refused write throws IniWriteError; the
// values set before it stay set, the later ones stay as they were (empty).
void LoadSettings(const std::string& executablePath, std::string& iniFileName,
                  ConnectionSettings& settings);
