// Independent reference for "Data.Txt": reads the simulated board's dump of every buffer read
// and writes the lines the program must have logged, made by the C library's snprintf in the C
// locale. It shares no code with the program's own formatter, so the two check each other.
//
//   expected_log DUMP            the expected Data.Txt on standard output
//   expected_log --summary DUMP  the number of records delivered, a line break, then the
//                                text of the summary box of an endless scan over all of them
#include <algorithm>
#include <bit>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little, "records are little-endian");

namespace {

constexpr std::size_t kLead = 4;
constexpr std::size_t kStride = 72;

int32_t IntAt(const unsigned char* record, std::size_t offset) {
    int32_t v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

double DoubleAt(const unsigned char* record, std::size_t offset) {
    double v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

// Non-finite values are spelled by their sign bit, not as the C library would.
std::string Fixed3(double v) {
    if (std::isinf(v)) return std::signbit(v) ? "-INF" : "+INF";
    if (std::isnan(v)) return std::signbit(v) ? "-NAN" : "+NAN";
    char text[400];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

std::string Line(const unsigned char* record) {
    // Columns 2 to 7 in the order the log writes them.
    static constexpr std::size_t kColumns[] = {4, 20, 44, 36, 60, 52};
    char first[16];
    std::snprintf(first, sizeof first, "%5i", IntAt(record, 0));
    std::string line = first;
    for (std::size_t offset : kColumns) line += "\t\t" + Fixed3(DoubleAt(record, offset));
    return line + "\r\n";
}

bool WriteAll(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

// One buffer read as the board's dump holds it: "PULL", then three little-endian int32 (the
// value returned, the capacity passed, P = bytes placed), then those P bytes, lead included.
struct DumpedRead {
    int32_t returned = 0;
    int32_t capacity = 0;
    std::vector<unsigned char> bytes;

    // What the program may log of it: a count above the capacity asked for is a failed read,
    // and no record reaches past the bytes actually placed.
    std::size_t Records() const {
        if (returned <= 0 || returned > capacity) return 0;
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(returned), bytes.size());
        return n / kStride;
    }
};

bool ReadDump(const char* path, std::vector<DumpedRead>& reads, std::string& error) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        error = std::string(path) + ": " + std::strerror(errno);
        return false;
    }
    unsigned char header[16];
    std::size_t got;
    while ((got = std::fread(header, 1, sizeof header, f)) == sizeof header) {
        DumpedRead read;
        int32_t placed;
        std::memcpy(&read.returned, header + 4, 4);
        std::memcpy(&read.capacity, header + 8, 4);
        std::memcpy(&placed, header + 12, 4);
        if (std::memcmp(header, "PULL", 4) != 0 || placed <= 0 || placed > read.capacity) {
            error =
                std::string(path) + ": bad frame after " + std::to_string(reads.size()) + " reads";
            std::fclose(f);
            return false;
        }
        read.bytes.resize(static_cast<std::size_t>(placed));
        if (std::fread(read.bytes.data(), 1, read.bytes.size(), f) != read.bytes.size()) {
            error = std::string(path) + ": ends inside a read";
            std::fclose(f);
            return false;
        }
        reads.push_back(std::move(read));
    }
    std::fclose(f);
    if (got != 0) {
        error = std::string(path) + ": ends inside a frame header";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    const bool summary = argc == 3 && std::strcmp(argv[1], "--summary") == 0;
    if (argc != 2 && !summary) {
        std::fprintf(stderr, "usage: expected_log [--summary] DUMP\n");
        return 2;
    }
    std::vector<DumpedRead> reads;
    std::string error;
    if (!ReadDump(argv[argc - 1], reads, error)) {
        std::fprintf(stderr, "expected_log: %s\n", error.c_str());
        return 1;
    }

    long long records = 0;
    const unsigned char* last = nullptr;
    std::string out;
    for (const DumpedRead& read : reads) {
        const std::size_t count = read.Records();
        for (std::size_t k = 0; k < count; ++k) {
            const unsigned char* record = read.bytes.data() + kLead + k * kStride;
            if (!summary) out += Line(record);
            last = record;
        }
        records += static_cast<long long>(count);
        if (!summary && out.size() > (1u << 20)) {
            if (!WriteAll(out)) return 1;
            out.clear();
        }
    }
    if (summary) {
        const double a1 = last ? DoubleAt(last, 12) : 0.0;
        const double a2 = last ? DoubleAt(last, 28) : 0.0;
        const double a3 = last ? DoubleAt(last, 44) : 0.0;
        char text[2048];
        std::snprintf(text, sizeof text, "%lld\n%lld Messungen: DP: A1 = %lf A2 = %lf A3 = %lf\n",
                      records, records, a1, a2, a3);
        out = text;
    }
    return WriteAll(out) ? 0 : 1;
}
