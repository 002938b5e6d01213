#include "sim/bootimage.h"

#include <array>
#include <cstdio>

#include "sim/errors.h"
#include "sim/text.h"

namespace zorix {

namespace {

constexpr std::string_view kMagicLine = "KORVAFW 1";

// Takes the next header line off `rest`; false when there is no line end.
bool NextHeaderLine(std::string_view& rest, std::string_view& line) {
    std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) return false;
    line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    rest.remove_prefix(end + 1);
    return true;
}

// "<keyword> <value>" with exactly one blank between them.
bool KeywordValue(std::string_view line, std::string_view keyword, std::string_view& value) {
    if (line.size() <= keyword.size() + 1 || line.substr(0, keyword.size()) != keyword ||
        line[keyword.size()] != ' ')
        return false;
    value = line.substr(keyword.size() + 1);
    return true;
}

}  // namespace

uint32_t Crc32(std::string_view bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

int32_t CheckBootImage(std::string_view image, std::string& detail) {
    std::string_view rest = image;
    std::string_view line;
    if (!NextHeaderLine(rest, line) || line != kMagicLine) {
        detail = "not a firmware image (first line is not \"KORVAFW 1\")";
        return kErrBootMagic;
    }
    std::string_view value;
    int64_t length = 0;
    if (!NextHeaderLine(rest, line) || !KeywordValue(line, "length", value) ||
        value.find_first_not_of("0123456789") != std::string_view::npos ||
        !ParseInteger(value, length)) {
        detail = "no valid \"length\" line";
        return kErrBootLength;
    }
    std::string_view crcLine;
    if (!NextHeaderLine(rest, crcLine) || !NextHeaderLine(rest, line) || !line.empty()) {
        detail = "header is not closed by an empty line";
        return kErrBootLength;
    }
    if (static_cast<uint64_t>(length) != rest.size()) {
        detail = "length says " + std::to_string(length) + " payload bytes, the file holds " +
                 std::to_string(rest.size());
        return kErrBootLength;
    }
    int64_t crc = 0;
    if (!KeywordValue(crcLine, "crc32", value) || value.size() != 8 ||
        value.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos ||
        !ParseInteger("0x" + std::string(value), crc)) {
        detail = "no valid \"crc32\" line";
        return kErrBootChecksum;
    }
    uint32_t actual = Crc32(rest);
    if (static_cast<uint32_t>(crc) != actual) {
        char text[64];
        std::snprintf(text, sizeof text, "payload CRC-32 is %08X, header says %08X", actual,
                      static_cast<unsigned>(crc));
        detail = text;
        return kErrBootChecksum;
    }
    return kOk;
}

std::string MakeBootImage(std::string_view payload) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", Crc32(payload));
    return std::string(kMagicLine) + "\nlength " + std::to_string(payload.size()) + "\ncrc32 " +
           crc + "\n\n" + std::string(payload);
}

}  // namespace zorix
