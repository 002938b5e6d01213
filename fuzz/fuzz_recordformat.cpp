// One log line from any 72 record bytes must equal, byte for byte, what the C library's printf
// gives in the C locale ("%5i" and "%.3f"), with the sign-bit names for non-finite values.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "scan/recordformat.h"

namespace {

// The column order of the log, by byte offset in the record.
constexpr int kIntOffset = 0;
constexpr int kDoubleOffsets[6] = {4, 20, 44, 36, 60, 52};

std::string Oracle(const unsigned char* record) {
    char text[512];
    int32_t i;
    std::memcpy(&i, record + kIntOffset, sizeof i);
    std::snprintf(text, sizeof text, "%5i", i);
    std::string line = text;
    for (const int offset : kDoubleOffsets) {
        double d;
        std::memcpy(&d, record + offset, sizeof d);
        line += "\t\t";
        if (std::isfinite(d)) {
            // DBL_MAX has 309 integer digits.
            char wide[400];
            std::snprintf(wide, sizeof wide, "%.3f", d);
            line += wide;
        } else {
            line += std::signbit(d) ? '-' : '+';
            line += std::isnan(d) ? "NAN" : "INF";
        }
    }
    return line + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kRecord = 72;
    if (size < kRecord) return 0;
    // Exactly sized heap copies, so a read or write past either end is caught.
    const std::unique_ptr<unsigned char[]> record(new unsigned char[kRecord]);
    std::memcpy(record.get(), data, kRecord);
    const std::unique_ptr<char[]> out(new char[kMaxRecordLineChars]);

    const char* end = FormatRecordLine(record.get(), out.get());
    const std::string got(out.get(), static_cast<size_t>(end - out.get()));
    const std::string want = Oracle(record.get());
    if (got != want) {
        std::fprintf(stderr, "FormatRecordLine differs from printf\n got: %s\nwant: %s\n",
                     got.c_str(), want.c_str());
        std::abort();
    }
    return 0;
}
