#include "sim/systemfile.h"

#include <set>

#include "sim/text.h"

namespace zorix {

namespace {

bool InRange(std::string_view text, int64_t low, int64_t high, int64_t& out) {
    return ParseInteger(text, out) && out >= low && out <= high;
}

bool ParseYesNo(std::string_view text, bool& out) {
    for (const char* yes : {"yes", "true", "on", "1"}) {
        if (EqualsNoCase(text, yes)) return out = true, true;
    }
    for (const char* no : {"no", "false", "off", "0"}) {
        if (EqualsNoCase(text, no)) return out = false, true;
    }
    return false;
}

// One key; false when the value does not suit it, with a hint in `why`.
bool Apply(std::string_view key, std::string_view value, SystemConfig& c, std::string& why) {
    int64_t n = 0;
    if (EqualsNoCase(key, "BaseSampleRate")) {
        why = "BaseSampleRate takes 1 to 1000000 records per second";
        if (!InRange(value, 1, 1'000'000, n)) return false;
        c.baseSampleRate = n;
    } else if (EqualsNoCase(key, "SpoolRecords")) {
        why = "SpoolRecords takes 1 to 100000000 records";
        if (!InRange(value, 1, 100'000'000, n)) return false;
        c.spoolRecords = n;
    } else if (EqualsNoCase(key, "Seed")) {
        why = "Seed takes a non-negative integer";
        if (!ParseInteger(value, n) || n < 0) return false;
        c.seed = static_cast<uint64_t>(n);
    } else if (EqualsNoCase(key, "PhysMem")) {
        why = "PhysMem takes yes or no";
        if (!ParseYesNo(value, c.physMem)) return false;
    } else if (EqualsNoCase(key, "StrobeDelay")) {
        why = "StrobeDelay takes 0 to 86400000 ms, or never";
        if (EqualsNoCase(value, "never")) {
            c.strobeDelayMs.reset();
        } else {
            if (!InRange(value, 0, 86'400'000, n)) return false;
            c.strobeDelayMs = n;
        }
    } else {
        why = "unknown key '" + std::string(key) + "'";
        return false;
    }
    return true;
}

}  // namespace

bool ParseSystemFile(std::string_view text, SystemConfig& out, std::string& error) {
    if (text.find('\0') != std::string_view::npos) {
        error = "not a text file";
        return false;
    }
    SystemConfig config;
    std::set<std::string> seen;
    int lineNumber = 0;
    std::string_view line;
    while (NextLine(text, line)) {
        ++lineNumber;
        line = Trim(StripComment(line));
        if (line.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("expected Key = value");
        std::string_view key = Trim(line.substr(0, equals));
        std::string_view value = Trim(line.substr(equals + 1));
        if (key.empty() || value.empty()) return fail("expected Key = value");
        std::string folded;
        for (char c : key) folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (!seen.insert(folded).second) return fail("'" + std::string(key) + "' given twice");
        std::string why;
        if (!Apply(key, value, config, why)) return fail(why);
    }
    out = config;
    return true;
}

}  // namespace zorix
