#include "scan/recordformat.h"

#include <bit>
#include <cstring>

#include "scan/scanrecord.h"

namespace {

static_assert(std::endian::native == std::endian::little, "digits are stored as words");

constexpr char kPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr uint64_t kPow10[20] = {1ULL,
                                 10ULL,
                                 100ULL,
                                 1000ULL,
                                 10000ULL,
                                 100000ULL,
                                 1000000ULL,
                                 10000000ULL,
                                 100000000ULL,
                                 1000000000ULL,
                                 10000000000ULL,
                                 100000000000ULL,
                                 1000000000000ULL,
                                 10000000000000ULL,
                                 100000000000000ULL,
                                 1000000000000000ULL,
                                 10000000000000000ULL,
                                 100000000000000000ULL,
                                 1000000000000000000ULL,
                                 10000000000000000000ULL};

inline int DigitCount(uint64_t v) {
    // 1233 / 4096 is log10(2) to five places: t is the number of digits of v or one less.
    const int bits = 64 - __builtin_clzll(v | 1);
    const int t = (bits * 1233) >> 12;
    return t - ((v | 1) < kPow10[t]) + 1;
}

// Eight decimal digits of v < 10^8 as byte values 0 to 9, the most significant in the lowest
// byte: divisions by 100 and 10 done on all lanes of one 64-bit word at once, by multiplying
// with reciprocals that are exact below 10,000 and 100.
inline uint64_t EightDigitValues(uint32_t v) {
    const uint64_t merged = (v / 10000) | (static_cast<uint64_t>(v % 10000) << 32);
    const uint64_t top = ((merged * 10486) >> 20) & ((0x7FULL << 32) | 0x7FULL);
    const uint64_t hundreds = ((merged - 100 * top) << 16) + top;
    uint64_t tens = ((hundreds * 103) >> 10) & 0x000F000F000F000FULL;
    tens += (hundreds - 10 * tens) << 8;
    return tens;
}

inline uint64_t EightDigits(uint32_t v) {
    return EightDigitValues(v) | 0x3030303030303030ULL;
}

// Writes the n significant digits of v < 10^8 and, as scratch, zero bytes up to out + 8.
inline char* WriteUpTo8(uint32_t v, char* out) {
    const int n = DigitCount(v);
    const uint64_t digits = EightDigits(v) >> (8 * (8 - n));
    std::memcpy(out, &digits, 8);
    return out + n;
}

inline char* Write8(uint32_t v, char* out) {
    const uint64_t digits = EightDigits(v);
    std::memcpy(out, &digits, 8);
    return out + 8;
}

inline char* WriteUnsigned(uint64_t v, char* out) {
    if (v < 100000000) return WriteUpTo8(static_cast<uint32_t>(v), out);
    if (v < 10000000000000000ULL) {
        out = WriteUpTo8(static_cast<uint32_t>(v / 100000000), out);
        return Write8(static_cast<uint32_t>(v % 100000000), out);
    }
    const uint64_t low16 = v % 10000000000000000ULL;
    out = WriteUpTo8(static_cast<uint32_t>(v / 10000000000000000ULL), out);
    out = Write8(static_cast<uint32_t>(low16 / 100000000), out);
    return Write8(static_cast<uint32_t>(low16 % 100000000), out);
}

// Exact decimal digits of m * 2^e for the integers beyond 64 bits (2^63 up to DBL_MAX).
char* WriteHugeInteger(uint64_t m, int e, char* out) {
    // DBL_MAX < 2^1024: 32 limbs of 32 bits, plus room for the shifted mantissa's top.
    uint32_t limbs[35] = {};
    const int word = e / 32;
    const unsigned __int128 shifted = static_cast<unsigned __int128>(m) << (e % 32);
    limbs[word] = static_cast<uint32_t>(shifted);
    limbs[word + 1] = static_cast<uint32_t>(shifted >> 32);
    limbs[word + 2] = static_cast<uint32_t>(shifted >> 64);
    int used = word + 3;
    while (used > 0 && limbs[used - 1] == 0) --used;

    // Groups of nine digits, least significant first; 309 digits need 35 groups.
    uint32_t groups[36];
    int count = 0;
    while (used > 0) {
        uint64_t rem = 0;
        for (int i = used - 1; i >= 0; --i) {
            const uint64_t cur = (rem << 32) | limbs[i];
            limbs[i] = static_cast<uint32_t>(cur / 1000000000u);
            rem = cur % 1000000000u;
        }
        groups[count++] = static_cast<uint32_t>(rem);
        while (used > 0 && limbs[used - 1] == 0) --used;
    }
    out = WriteUnsigned(groups[count - 1], out);
    for (int i = count - 2; i >= 0; --i) {
        *out++ = static_cast<char>('0' + groups[i] / 100000000);
        out = Write8(groups[i] % 100000000, out);
    }
    return out;
}

// Integers of 2^52 and beyond: no fraction, and beyond 2^63 the exact digits of a long number.
__attribute__((noinline)) char* WriteInteger(uint64_t m, int e, char* out) {
    out = e <= 10 ? WriteUnsigned(m << e, out) : WriteHugeInteger(m, e, out);
    std::memcpy(out, ".000", 4);
    return out + 4;
}

__attribute__((noinline)) char* WriteNonFinite(bool negative, bool nan, char* out) {
    std::memcpy(out, nan ? (negative ? "-NAN" : "+NAN") : (negative ? "-INF" : "+INF"), 4);
    return out + 4;
}

// Values of 100,000 and more, in thousandths below 2^63.
__attribute__((noinline)) char* WriteLarge(uint64_t thousandths, char* out) {
    out = WriteUnsigned(thousandths / 1000, out);
    const unsigned milli = static_cast<unsigned>(thousandths % 1000);
    out[0] = '.';
    out[1] = static_cast<char>('0' + milli / 100);
    std::memcpy(out + 2, kPairs + 2 * (milli % 100), 2);
    return out + 4;
}

// Real data has random signs and magnitudes, so the common path avoids branches on either.
// Takes the double's bits: the field goes from memory to an integer register directly.
[[gnu::always_inline]] inline char* Fixed3(uint64_t bits, char* out) {
    const bool negative = (bits >> 63) != 0;
    const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7FFu;
    const uint64_t fraction = bits & ((1ULL << 52) - 1);
    if (biased == 0x7FF) [[unlikely]] {
        return WriteNonFinite(negative, fraction != 0, out);
    }
    // The C library signs every negative value, -0.0 and those that round to zero included.
    *out = '-';
    out += negative;

    // value = m * 2^e exactly, m < 2^53.
    const uint64_t m = biased == 0 ? fraction : (fraction | (1ULL << 52));
    const int e = biased == 0 ? -1074 : static_cast<int>(biased) - 1075;
    if (e >= 0) [[unlikely]] {
        return WriteInteger(m, e, out);
    }

    // Round m * 1000 / 2^k to an integer, ties to even: adding half - 1 and the lowest bit of
    // the quotient carries exactly when the remainder is above half, or equal to it and the
    // quotient odd. From k = 64 on, 1000 * m < 2^63 is below half of 2^k and the result is 0:
    // the value is below 0.0005.
    const int k = -e;
    const int shift = k < 64 ? k : 63;
    const uint64_t scaled = (k < 64 ? m : 0) * 1000;  // < 2^63, so the sum below cannot wrap
    const uint64_t thousandths =
        (scaled + ((1ULL << (shift - 1)) - 1) + ((scaled >> shift) & 1)) >> shift;

    if (thousandths < 100000000) [[likely]] {
        // All digits from one word. The leading zero bytes tell the length; at least "0.ddd"
        // stays. The leading digits are stored with the decimals behind them as scratch, then
        // the point and the decimals go over those.
        const uint64_t values = EightDigitValues(static_cast<uint32_t>(thousandths));
        const uint64_t digits = values | 0x3030303030303030ULL;
        const int skip = __builtin_ctzll(values | (1ULL << 32)) & ~7;  // in bits
        const uint64_t lead = digits >> skip;
        std::memcpy(out, &lead, 8);
        out += 5 - (skip >> 3);
        const uint32_t tail = '.' | static_cast<uint32_t>(digits >> 40) << 8;
        std::memcpy(out, &tail, 4);
        return out + 4;
    }
    return WriteLarge(thousandths, out);
}

[[gnu::always_inline]] inline char* Column(const unsigned char* field, char* out) {
    out[0] = '\t';
    out[1] = '\t';
    uint64_t bits;
    std::memcpy(&bits, field, sizeof bits);
    return Fixed3(bits, out + 2);
}

[[gnu::always_inline]] inline char* Int5(int32_t value, char* out) {
    const bool negative = value < 0;
    // Unsigned negation keeps INT32_MIN defined.
    const uint32_t magnitude =
        negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    const int length = DigitCount(magnitude) + negative;
    std::memcpy(out, "        ", 8);
    out += length < 5 ? 5 - length : 0;
    *out = '-';
    out += negative;
    return WriteUnsigned(magnitude, out);
}

}  // namespace

char* FormatFixed3(double value, char* out) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Fixed3(bits, out);
}

char* FormatInt5(int32_t value, char* out) {
    return Int5(value, out);
}

char* FormatRecordLine(const unsigned char* record, char* out) {
    // Unrolled, so that the six conversions can overlap.
    out = Int5(ReadInt32(record + kOffInt), out);
    out = Column(record + kOffCol2, out);
    out = Column(record + kOffCol3, out);
    out = Column(record + kOffCol4A3, out);
    out = Column(record + kOffCol5, out);
    out = Column(record + kOffCol6, out);
    out = Column(record + kOffCol7, out);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}
