// The texts that scan acquisition shows. Numbers are formatted without the C library's locale:
// "." is the decimal separator and there is no digit grouping, whatever the user's settings.
#pragma once

#include <cstdint>
#include <string>

// Eight upper-case hex digits of the 32 bits taken as unsigned: -1 is "FFFFFFFF".
std::string Hex8(int32_t value);
std::string Decimal(int64_t value);
// Fixed-point with `decimals` digits after ".", rounded as printf rounds; "inf", "-nan", ...
// for values that are not finite.
std::string Fixed(double value, int decimals);

// The stop's summary, ending in a line break; the count is 64 bits and shown in full.
std::string SummaryText(int64_t records, double a1, double a2, double a3);
// Why pulled data was neither counted nor logged: "Record Size 0: 500 Bytes dropped".
std::string DroppedText(int32_t recordSize, int64_t bytes);
// The counter's resolution in microseconds; "unbekannt" when the frequency is not positive.
std::string ResolutionText(int64_t counterFrequency);
// "Lesezeit: <ms> ms # <n> Bytes read! [Rate: <x> MB/s ]" for a read of `bytes` that took
// `counts` of a counter running at `counterFrequency`. A megabyte is 1,000,000 bytes; the rate is
// left out when the read took 1 µs or less, or when the frequency is unknown (not positive).
std::string ReadTimeText(int32_t bytes, int64_t counts, int64_t counterFrequency);
