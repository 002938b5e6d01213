#include "sim/text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zorix {

bool ReadFileBytes(const char* path, std::size_t limit, std::string& out, std::string& error) {
    out.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    char chunk[4096];
    while (out.size() <= limit) {
        std::size_t want = std::min(sizeof chunk, limit + 1 - out.size());
        std::size_t got = std::fread(chunk, 1, want, file);
        out.append(chunk, got);
        if (got < want) break;
    }
    bool failed = std::ferror(file) != 0;
    int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = std::strerror(readErrno);
        return false;
    }
    return true;
}

bool NextLine(std::string_view& text, std::string_view& line) {
    if (text.empty()) return false;
    std::size_t end = text.find('\n');
    line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    return true;
}

std::string_view Trim(std::string_view text) {
    const char* space = " \t\r\n\f\v";
    std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

std::string_view StripComment(std::string_view line) {
    std::size_t hash = line.find('#');
    return hash == std::string_view::npos ? line : line.substr(0, hash);
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool ParseInteger(std::string_view text, int64_t& out) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    // Magnitude up to 2^63 so that the most negative value parses too.
    const uint64_t limit = uint64_t{1} << 63;
    uint64_t magnitude = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
            digit = static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        } else {
            return false;
        }
        if (magnitude > (limit - digit) / base) return false;
        magnitude = magnitude * base + digit;
    }
    if (!negative && magnitude == limit) return false;
    out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

void PutLE32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void PutLE64(unsigned char* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetLE32(const unsigned char* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{at[i]} << (8 * i);
    return value;
}

uint64_t GetLE64(const unsigned char* at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t{at[i]} << (8 * i);
    return value;
}

}  // namespace zorix
