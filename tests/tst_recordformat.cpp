// The line formatter against the C library: every finite double must give the bytes of "%.3f" in
// the C locale (this process never calls setlocale, so snprintf runs in the C locale here).
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "scan/recordformat.h"
#include "scan/scanrecord.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSampleDivisor = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSampleDivisor = 4;
#else
constexpr int kSampleDivisor = 1;
#endif
#else
constexpr int kSampleDivisor = 1;
#endif

std::string Fixed3(double v) {
    char buf[kMaxFixed3Chars + kFormatScratch];
    char* end = FormatFixed3(v, buf);
    return std::string(buf, end);
}

std::string LibcFixed3(double v) {
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%.3f", v);
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string Int5(int32_t v) {
    char buf[kMaxInt5Chars + kFormatScratch];
    char* end = FormatInt5(v, buf);
    return std::string(buf, end);
}

std::string Hex(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    char buf[64];
    std::snprintf(buf, sizeof buf, "0x%016llx (%.17g)", static_cast<unsigned long long>(bits), v);
    return buf;
}

double FromBits(uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void PutInt(unsigned char* record, int offset, int32_t v) {
    std::memcpy(record + offset, &v, 4);
}
void PutDouble(unsigned char* record, int offset, double v) {
    std::memcpy(record + offset, &v, 8);
}

std::string Line(const unsigned char* record) {
    std::vector<char> buf(kMaxRecordLineChars + kFormatScratch);
    char* end = FormatRecordLine(record, buf.data());
    return std::string(buf.data(), end);
}

// Compares the formatter with snprintf over many values; reports the first few differences.
class Differential {
  public:
    void Check(double v) {
        ++checked_;
        const std::string ours = Fixed3(v);
        const std::string libc = LibcFixed3(v);
        if (ours != libc && ++mismatches_ <= 10) {
            ADD_FAILURE() << Hex(v) << ": got \"" << ours << "\", C library \"" << libc << "\"";
        }
    }
    void CheckBothSigns(double v) {
        Check(v);
        Check(-v);
    }
    // The value and its neighbours up to `ulps` steps either side.
    void CheckAround(double v, int ulps) {
        double up = v, down = v;
        CheckBothSigns(v);
        for (int i = 0; i < ulps; ++i) {
            up = std::nextafter(up, INFINITY);
            down = std::nextafter(down, -INFINITY);
            if (std::isfinite(up)) CheckBothSigns(up);
            CheckBothSigns(down);
        }
    }
    long checked() const { return checked_; }
    long mismatches() const { return mismatches_; }

  private:
    long checked_ = 0;
    long mismatches_ = 0;
};

struct FixedCase {
    double value;
    const char* text;  // as the C library prints it in the C locale
};

// Ties and near-ties that a "times 1000, then round" formatter gets wrong, the integers beyond
// 64 bits, and the sign of values that round to zero.
const FixedCase kFixedCases[] = {
    {0.0, "0.000"},
    {-0.0, "-0.000"},
    {-0.0004, "-0.000"},
    {0.0004999, "0.000"},
    {0.0005, "0.001"},  // the double lies just above 0.0005
    {1.0005, "1.000"},  // ... and this one just below 1.0005
    {0.0625, "0.062"},  // exact tie, to even
    {0.1875, "0.188"},  // exact tie, to even upwards
    {2.5e-3, "0.003"},
    {999.9995, "1000.000"},
    {-999.9995, "-1000.000"},
    {2.71828, "2.718"},
    {-0.125, "-0.125"},
    {1234.5, "1234.500"},
    {0.001, "0.001"},
    {123456.789, "123456.789"},
    {4503599627370495.5, "4503599627370495.500"},
    {9007199254740993.0, "9007199254740992.000"},
    {9223372036854775808.0, "9223372036854775808.000"},
    {18446744073709551616.0, "18446744073709551616.000"},
    {1e23, "99999999999999991611392.000"},
    {5e-324, "0.000"},
    {-DBL_MIN, "-0.000"},
    {1e300, nullptr},
    {DBL_MAX, nullptr},
    {-DBL_MAX, nullptr},
};

TEST(FormatFixed3, MatchesCLibraryOnTrickyValues) {
    for (const FixedCase& c : kFixedCases) {
        SCOPED_TRACE(Hex(c.value));
        const std::string ours = Fixed3(c.value);
        EXPECT_EQ(ours, LibcFixed3(c.value));
        if (c.text != nullptr) {
            EXPECT_EQ(ours, c.text);
        }
    }
    // The longest text of all is the bound that the line buffer is sized by.
    EXPECT_EQ(Fixed3(-DBL_MAX).size(), static_cast<std::size_t>(kMaxFixed3Chars));
}

TEST(FormatFixed3, NonFiniteValuesBySignBit) {
    const struct {
        uint64_t bits;
        const char* text;
    } cases[] = {
        {0x7FF0000000000000ULL, "+INF"}, {0xFFF0000000000000ULL, "-INF"},
        {0x7FF8000000000000ULL, "+NAN"}, {0xFFF8000000000000ULL, "-NAN"},
        {0x7FF0000000000001ULL, "+NAN"},  // signalling, smallest payload
        {0xFFFFFFFFFFFFFFFFULL, "-NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Fixed3(FromBits(c.bits)), c.text);
    }
}

TEST(FormatInt5, MatchesCLibrary) {
    const int32_t cases[] = {0,      7,     -7,     42,      -42,   9999,    -9999,   99999,
                             -99999, 10000, -1000,  123456,  -1234, INT_MAX, INT_MIN, INT_MIN + 1,
                             100000, 12345, -10000, 1000000, 1,     -1,      99,      -100};
    for (const int32_t v : cases) {
        SCOPED_TRACE(v);
        char libc[32];
        std::snprintf(libc, sizeof libc, "%5i", v);
        EXPECT_EQ(Int5(v), libc);
    }
    EXPECT_EQ(Int5(123456), "123456");
    EXPECT_EQ(Int5(-42), "  -42");
}

TEST(FormatRecordLine, WorkedExample) {
    unsigned char record[kRecordBytes] = {};
    PutInt(record, 0, 7);
    const double doubles[] = {1.5, 2.25, -0.125, 100, 2.71828, 0, -3.75, 1234.5};
    for (int i = 0; i < 8; ++i) PutDouble(record, 4 + 8 * i, doubles[i]);

    const std::string line = Line(record);
    EXPECT_EQ(line, "    7\t\t1.500\t\t-0.125\t\t0.000\t\t2.718\t\t1234.500\t\t-3.750\r\n");
    EXPECT_EQ(line.size(), 54u);
}

// The record sits at the very end of a 68-byte allocation: a read of byte 68 or beyond is an
// overflow that the sanitizer build reports. Distinct values show the column order.
TEST(FormatRecordLine, ColumnOrderAndOnlyBytes0To67Read) {
    std::vector<unsigned char> record(68);
    PutInt(record.data(), 0, -123);
    for (int i = 0; i < 8; ++i) PutDouble(record.data(), 4 + 8 * i, 0.001 * (4 + 8 * i));

    EXPECT_EQ(Line(record.data()),
              " -123\t\t0.004\t\t0.020\t\t0.044\t\t0.036\t\t0.060\t\t0.052\r\n");
}

TEST(FormatRecordLine, LongestLineFitsItsBound) {
    unsigned char record[kRecordBytes] = {};
    PutInt(record, 0, INT_MIN);
    for (int i = 0; i < 8; ++i) PutDouble(record, 4 + 8 * i, -DBL_MAX);
    EXPECT_EQ(Line(record).size(), static_cast<std::size_t>(kMaxRecordLineChars));
}

// Sensor values are decimal-quantised and full of ties and near-ties at the third decimal: the
// classes below are where an approximate formatter fails while random bit patterns pass.
TEST(FormatFixed3, AgreesWithCLibraryOnGeneratedValues) {
    std::mt19937_64 rng(20240611);
    Differential diff;
    const int n = 250000 / kSampleDivisor;

    // Decimal-quantised readings k / 10^d and k * 10^-d, which round differently.
    for (int d = 0; d <= 7; ++d) {
        const double scale = std::pow(10.0, d);
        std::uniform_int_distribution<int64_t> k(-2000000000LL, 2000000000LL);
        for (int i = 0; i < n / 4; ++i) {
            const double kk = static_cast<double>(k(rng));
            diff.Check(kk / scale);
            diff.Check(kk * (1.0 / scale));
        }
    }

    // Multiples of half a thousandth: every odd k is a decimal tie.
    for (int64_t k = -1000000 / kSampleDivisor; k <= 1000000 / kSampleDivisor; ++k) {
        diff.Check(static_cast<double>(k) * 0.0005);
    }
    {
        std::uniform_int_distribution<int64_t> k(-4000000000LL, 4000000000LL);
        for (int i = 0; i < n; ++i) diff.Check(static_cast<double>(k(rng)) / 2000.0);
    }

    // A few ulps either side of the decimal midpoints (j + 1/2) / 1000.
    {
        std::uniform_int_distribution<int64_t> j(0, 2000000000000LL);
        for (int i = 0; i < n / 16; ++i) {
            diff.CheckAround((static_cast<double>(j(rng)) + 0.5) / 1000.0, 3);
        }
        for (int p = 0; p <= 15; ++p) diff.CheckAround(std::pow(10.0, p) - 0.0005, 4);
    }

    // Every power of two from the smallest subnormal to the largest, with its neighbours.
    for (int e = -1074; e <= 1023; ++e) {
        diff.CheckAround(std::ldexp(1.0, e), 4);
        diff.CheckAround(std::ldexp(1.5, e), 1);
    }

    // Realistic magnitudes, 1e-6 to 1e9, with zeros.
    {
        std::uniform_real_distribution<double> exponent(-6.0, 9.0);
        for (int i = 0; i < n; ++i) {
            const double v = std::pow(10.0, exponent(rng));
            diff.CheckBothSigns(i % 97 == 0 ? 0.0 : v);
        }
    }

    // Any finite bit pattern, exponents spread evenly.
    {
        std::uniform_int_distribution<uint64_t> mantissa(0, (1ULL << 52) - 1);
        std::uniform_int_distribution<uint64_t> exponent(0, 0x7FE);
        for (int i = 0; i < n; ++i) {
            const uint64_t bits = (exponent(rng) << 52) | mantissa(rng) | ((rng() & 1) << 63);
            diff.Check(FromBits(bits));
        }
    }

    EXPECT_EQ(diff.mismatches(), 0) << "of " << diff.checked() << " values";
}

}  // namespace
