// Settings file reader and writer of the INI kind. Line-preserving: a write rewrites the file
// keeping every other line, section and comment as it was. Section and key names match without
// regard to letter case.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A write the file refused; the message is "nach <path> kann nicht geschrieben werden".
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const std::string& path);
};

class IniFile {
public:
    explicit IniFile(std::string path);  // touches no file; a missing file is no error

    // Decimal with optional leading blanks and sign, or hexadecimal after "$" or "0x"/"0X"
    // (up to 8 digits, taken as a 32-bit pattern). Anything else, or out of range: the default.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // At most 2,047 characters; the default only when the key is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Creates file and section when missing, replaces a value where it stands, otherwise adds the
    // key at the end of its section. Throws IniWriteError when the file refuses.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
