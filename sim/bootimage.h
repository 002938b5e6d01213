// KORVA.ELF, the board's firmware image, in our own small format:
//
//   KORVAFW 1\n                 magic line
//   length <payload bytes>\n    decimal
//   crc32 <8 hex digits>\n      CRC-32 (IEEE 802.3) of the payload
//   \n
//   <payload>                   exactly `length` bytes, anything (ours is ASCII)
//
// Header lines may end in CR LF; the payload is taken byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorix {

inline constexpr std::size_t kBootImageMaxBytes = 1 << 20;  // larger files are refused unread

// kOk, kErrBootMagic, kErrBootLength or kErrBootChecksum; `detail` says what was wrong.
int32_t CheckBootImage(std::string_view image, std::string& detail);

std::string MakeBootImage(std::string_view payload);
uint32_t Crc32(std::string_view bytes);

}  // namespace zorix
