// The text of one "Data.Txt" line, built without the C library's printf and without any locale:
// the same bytes as "%5i" and "%.3f" in the C locale for every finite double, "+INF", "-INF",
// "+NAN", "-NAN" for the rest, two tabs between columns and CR LF at the end.
#pragma once

#include <cstdint>

// Longest "%.3f" text: "-" and the 309 integer digits of DBL_MAX, then ".000".
inline constexpr int kMaxFixed3Chars = 1 + 309 + 4;
// "-2147483648" is the longest "%5i" text.
inline constexpr int kMaxInt5Chars = 11;
// Seven columns, six double-tab gaps, CR LF.
inline constexpr int kMaxRecordLineChars = kMaxInt5Chars + 6 * (2 + kMaxFixed3Chars) + 2;

// Digits are stored eight at a time, so a call may write up to this many bytes of scratch past
// the end that it returns.
inline constexpr int kFormatScratch = 8;

// Each writes its text at `out` (no terminating NUL) and returns the end. `out` must have room
// for kMaxFixed3Chars, kMaxInt5Chars and kMaxRecordLineChars respectively, plus kFormatScratch.
char* FormatFixed3(double value, char* out);
char* FormatInt5(int32_t value, char* out);
// `record` points at the 72 packed bytes of one record; only its bytes 0 to 67 are read.
char* FormatRecordLine(const unsigned char* record, char* out);
