// The settings reader and writer against arbitrary files and operation sequences.
//
// Input: the initial file, a NUL byte, then the operations (without a NUL: the whole input is
// the file and the start-up's two writes run on it). An empty file part means no file at all.
// Each operation byte: bits 0-1 the kind (read integer, read text, write integer, write text),
// bits 2-3 the section, bits 4-6 the key; an integer write takes the next 4 bytes
// (little-endian), a text write a length byte and that many bytes, where length 255 repeats the
// next byte 3,000 times to pass the 2,047-character read limit.
//
// Checked: nothing crashes or hangs; after a write, every key written so far reads back as
// written (integers exactly; texts cut at their first line break, without surrounding blanks,
// at most 2,047 characters); each write changes one line in place or inserts lines, and every
// other line of the file stays as it was, byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inifile.h"

namespace {

const char* const kSections[4] = {"MCU", "mcu", "Other", "a b"};
// The last key is one the writer must reject: it would be read back without its blank.
const char* const kKeys[8] = {"BaseAdress", "BASEADRESS", "SystemFileName", "k",
                              "K",          "x y",        "bootfilename",   " k"};

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "fuzz_inifile: %s %s\n", what, detail.c_str());
    std::abort();
}

std::string Slurp(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

void Put(const std::string& path, std::string_view text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) Fail("cannot create", path);
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) Fail("cannot write", path);
    std::fclose(f);
}

const std::string& WorkFile() {
    static const std::string path = [] {
        // tmpfs keeps the writer's fsync cheap.
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        static std::string dir = std::string(base) + "/fuzz_inifile.XXXXXX";
        if (!mkdtemp(dir.data())) Fail("mkdtemp");
        std::atexit([] {
            unlink((dir + "/f.INI").c_str());
            rmdir(dir.c_str());
        });
        return dir + "/f.INI";
    }();
    return path;
}

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// What a text read gives back after writing `value`.
std::string AsReadBack(std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return std::string(value.substr(0, 2047));
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        const size_t n = lf == std::string_view::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(0, n));
        text.remove_prefix(n);
    }
    return lines;
}

std::string_view Terminator(std::string_view line) {
    if (!line.ends_with('\n')) return {};
    return line.ends_with("\r\n") ? line.substr(line.size() - 2) : line.substr(line.size() - 1);
}

// One write changes one line in place or inserts lines at one spot; all other lines survive.
void CheckOneEdit(const std::string& before, const std::string& after, const std::string& section,
                  const std::string& key) {
    if (before == after) return;
    const std::vector<std::string_view> b = Lines(before), a = Lines(after);
    size_t p = 0;
    while (p < b.size() && p < a.size() && b[p] == a[p]) ++p;
    size_t s = 0;
    while (s < b.size() - p && s < a.size() - p && b[b.size() - 1 - s] == a[a.size() - 1 - s]) ++s;
    const size_t bn = b.size() - p - s, an = a.size() - p - s;

    if (bn == 1 && an == 1) {
        const std::string_view old = b[p], now = a[p];
        const size_t eq = old.find('=');
        if (eq == std::string_view::npos || !now.starts_with(old.substr(0, eq + 1)) ||
            Terminator(now) != Terminator(old)) {
            Fail("a replaced line lost its key or line end",
                 std::string(old) + " -> " + std::string(now));
        }
        return;
    }
    const size_t lf = before.find('\n');
    const std::string_view eol = (lf != std::string::npos && lf > 0 && before[lf - 1] == '\r')
                                     ? std::string_view("\r\n")
                                     : std::string_view("\n");
    size_t first = p;
    const std::string_view completion = b.empty() || !b.back().ends_with('\r') ? eol : "\n";
    if (bn == 1 && p == b.size() - 1 && Terminator(b[p]).empty() && an >= 2 &&
        a[p] == std::string(b[p]) + std::string(completion)) {
        ++first;  // the old last line got the line end it lacked
    } else if (bn != 0) {
        Fail("lines other than the written one changed", before + "\n--->\n" + after);
    }
    const size_t inserted = p + an - first;
    if (inserted < 1 || inserted > 2) Fail("wrong number of inserted lines", after);
    for (size_t i = first; i < p + an; ++i) {
        const std::string_view line = a[i];
        const bool header = line == "[" + section + "]" + std::string(eol);
        const bool entry = line.starts_with(key + "=") && line.ends_with(eol) &&
                           line.find('\n') == line.size() - 1;
        if (!(header || entry)) Fail("inserted line is neither the section nor the key", after);
    }
}

struct Expected {
    std::string text;
    std::optional<int32_t> integer;  // set when written as an integer
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WorkFile();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string_view initial = input.substr(0, nul);
    static const std::string kStartUp = std::string("\x02\x00\x03\x00\x00", 5) + "\x23\x01x";
    std::string_view ops =
        nul == std::string_view::npos ? std::string_view(kStartUp) : input.substr(nul + 1);

    unlink(path.c_str());
    if (!initial.empty()) Put(path, initial);

    IniFile ini(path);
    std::map<std::string, Expected> written;  // by folded section and key
    auto keyOf = [](const std::string& section, const std::string& key) {
        return Fold(section) + '\0' + Fold(key);
    };
    auto checkAll = [&] {
        for (const auto& [id, expected] : written) {
            const size_t sep = id.find('\0');
            const std::string section = id.substr(0, sep), key = id.substr(sep + 1);
            const std::string got = ini.ReadString(section, key, "\x01missing");
            if (got != expected.text) Fail("text read back differs", id + ": " + got);
            if (expected.integer && ini.ReadInteger(section, key, 0) != *expected.integer) {
                Fail("integer read back differs", id);
            }
        }
    };

    while (!ops.empty()) {
        const uint8_t op = static_cast<uint8_t>(ops.front());
        ops.remove_prefix(1);
        const std::string section = kSections[(op >> 2) & 3];
        const std::string key = kKeys[(op >> 4) & 7];
        const bool validKey = key.front() != ' ';
        if ((op & 3) == 0) {
            (void)ini.ReadInteger(section, key, 0);
            continue;
        }
        if ((op & 3) == 1) {
            (void)ini.ReadString(section, key, "");
            continue;
        }
        const std::string before = Slurp(path);
        // One write; false when the name was rightly refused, which must leave the file as it was.
        auto attempt = [&](const auto& write) {
            try {
                write();
            } catch (const std::invalid_argument&) {
                if (validKey) Fail("valid name rejected", key);
                if (Slurp(path) != before) Fail("rejected write changed the file");
                return false;
            } catch (const IniWriteError& e) {
                Fail("write refused", e.what());
            }
            if (!validKey) Fail("invalid name accepted", key);
            return true;
        };
        switch (op & 3) {
            case 2: {
                uint32_t bits = 0;
                for (int i = 0; i < 4 && !ops.empty(); ++i) {
                    bits |= static_cast<uint32_t>(static_cast<uint8_t>(ops.front())) << (8 * i);
                    ops.remove_prefix(1);
                }
                const int32_t value = static_cast<int32_t>(bits);
                if (!attempt([&] { ini.WriteInteger(section, key, value); })) continue;
                written[keyOf(section, key)] = {std::to_string(value), value};
                break;
            }
            default: {
                std::string value;
                if (!ops.empty()) {
                    const uint8_t length = static_cast<uint8_t>(ops.front());
                    ops.remove_prefix(1);
                    if (length == 255) {
                        value.assign(3000, ops.empty() ? 'v' : ops.front());
                        if (!ops.empty()) ops.remove_prefix(1);
                    } else {
                        const size_t n = std::min<size_t>(length, ops.size());
                        value.assign(ops.substr(0, n));
                        ops.remove_prefix(n);
                    }
                }
                if (!attempt([&] { ini.WriteString(section, key, value); })) continue;
                written[keyOf(section, key)] = {AsReadBack(value), std::nullopt};
                break;
            }
        }
        CheckOneEdit(before, Slurp(path), section, key);
        checkAll();
    }
    return 0;
}
