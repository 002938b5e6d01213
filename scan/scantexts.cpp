#include "scan/scantexts.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

std::string Hex8(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(static_cast<uint32_t>(value)));
    return text;
}

std::string Decimal(int64_t value) {
    std::array<char, 24> text;
    auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), end);
}

std::string Fixed(double value, int decimals) {
    // DBL_MAX has 309 integer digits.
    std::array<char, 400> text;
    auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::fixed, decimals);
    if (ec != std::errc()) return "?";
    return std::string(text.data(), end);
}

std::string SummaryText(int64_t records, double a1, double a2, double a3) {
    return Decimal(records) + " Messungen: DP: A1 = " + Fixed(a1, 6) + " A2 = " + Fixed(a2, 6) +
           " A3 = " + Fixed(a3, 6) + "\n";
}

std::string DroppedText(int32_t recordSize, int64_t bytes) {
    return "Record Size " + Decimal(recordSize) + ": " + Decimal(bytes) + " Bytes dropped";
}

std::string ResolutionText(int64_t counterFrequency) {
    if (counterFrequency <= 0) return "TimerAuflösung: unbekannt";
    return "TimerAuflösung: " + Fixed(1000000.0 / static_cast<double>(counterFrequency), 3) + " µs";
}

std::string ReadTimeText(int32_t bytes, int64_t counts, int64_t counterFrequency) {
    std::string throughput = Decimal(bytes) + " Bytes read! ";
    if (counterFrequency <= 0) return "Lesezeit: unbekannt # " + throughput;

    double seconds = static_cast<double>(counts) / static_cast<double>(counterFrequency);
    if (seconds > 1e-6) throughput += "Rate: " + Fixed(bytes * 1e-6 / seconds, 1) + " MB/s ";

    // Truncated toward zero; a counter that jumped absurdly far must not overflow the integer.
    double ms = std::trunc(seconds * 1000.0);
    constexpr double kLimit = 9.0e18;
    int64_t wholeMs = ms >= kLimit    ? static_cast<int64_t>(kLimit)
                      : ms <= -kLimit ? -static_cast<int64_t>(kLimit)
                                      : static_cast<int64_t>(ms);
    return "Lesezeit: " + Decimal(wholeMs) + " ms # " + throughput;
}
