// Small text and byte helpers shared by the board's file formats and its record encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorix {

// Reads at most `limit` + 1 bytes, so a caller can tell a file that is too large from one that
// fits. False, with the reason in `error`, when the file cannot be opened or read (a directory
// included).
bool ReadFileBytes(const char* path, std::size_t limit, std::string& out, std::string& error);

// Takes the next line (without its LF) off the front of `text`; false once nothing is left.
bool NextLine(std::string_view& text, std::string_view& line);
std::string_view Trim(std::string_view text);
std::string_view StripComment(std::string_view line);  // from the first '#' on
std::vector<std::string_view> Words(std::string_view line);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Decimal with an optional sign, or hexadecimal with a 0x prefix; the whole text must be the
// number and it must fit in 64 bits.
bool ParseInteger(std::string_view text, int64_t& out);

// Little-endian whatever the host, at any alignment.
void PutLE32(unsigned char* at, uint32_t value);
void PutLE64(unsigned char* at, uint64_t value);
uint32_t GetLE32(const unsigned char* at);
uint64_t GetLE64(const unsigned char* at);

}  // namespace zorix
