#include "platform/inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

IniWriteError::IniWriteError(const std::string& path)
    : std::runtime_error("nach " + path + " kann nicht geschrieben werden") {}

namespace {

// Longer stored texts are cut; the settings are paths, and 2,047 bytes is far beyond any of them.
constexpr std::size_t kMaxValueChars = 2047;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// ASCII only: the names are the program's own, and folding other bytes would depend on a locale.
char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

enum class Load { Ok, Missing, Failed };

// Only regular files are settings files: a FIFO or a device is never read (a FIFO would block,
// /dev/zero would never end) and never replaced.
Load LoadFile(const std::string& path, std::string& content, struct stat* info = nullptr) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? Load::Missing : Load::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Load::Failed;
    }
    if (info) *info = st;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            content.clear();
            return Load::Failed;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return Load::Ok;
}

struct Line {
    std::size_t begin;  // first byte of the text (after a UTF-8 byte order mark on line 1)
    std::size_t end;    // end of the text, before the line end
    std::size_t next;   // after the line end; equals `end` on a last line without one
};

// A line ends at LF; a CR right before it belongs to the line end.
std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t pos = std::string_view(text).starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        Line line{pos, lf == std::string::npos ? text.size() : lf, 0};
        line.next = lf == std::string::npos ? text.size() : lf + 1;
        if (line.end > line.begin && text[line.end - 1] == '\r') --line.end;
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;
    std::size_t valuePos = 0;  // file offset right after the "=" of an entry
};

Parsed ParseLine(const std::string& text, const Line& line) {
    const std::string_view whole(text.data() + line.begin, line.end - line.begin);
    const std::string_view t = TrimLeft(whole);
    Parsed p;
    if (t.empty() || t.front() == ';' || t.front() == '#') return p;
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close != std::string_view::npos) {
            p.kind = Kind::Section;
            p.name = Trim(t.substr(1, close - 1));
        }
        return p;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return p;
    p.kind = Kind::Entry;
    p.name = Trim(t.substr(0, eq));
    p.valuePos = line.begin + (whole.size() - t.size()) + eq + 1;
    return p;
}

// Where a key stands. Entries before the first section belong to none; of duplicate sections
// and keys the first one counts.
struct Location {
    std::vector<Line> lines;
    int section = -1;    // its header line
    int entry = -1;      // the key's line
    int lastEntry = -1;  // the section's last entry, or its header when it has none
    std::size_t valuePos = 0;
};

Location Find(const std::string& text, std::string_view section, std::string_view key) {
    Location loc;
    loc.lines = SplitLines(text);
    for (std::size_t i = 0; i < loc.lines.size(); ++i) {
        const Parsed p = ParseLine(text, loc.lines[i]);
        const int index = static_cast<int>(i);
        if (p.kind == Kind::Section) {
            if (loc.section >= 0) break;
            if (EqualNoCase(p.name, section)) loc.section = loc.lastEntry = index;
        } else if (p.kind == Kind::Entry && loc.section >= 0) {
            loc.lastEntry = index;
            if (loc.entry < 0 && EqualNoCase(p.name, key)) {
                loc.entry = index;
                loc.valuePos = p.valuePos;
            }
        }
    }
    return loc;
}

std::optional<std::string> StoredValue(const std::string& path, std::string_view section,
                                       std::string_view key) {
    std::string text;
    if (LoadFile(path, text) != Load::Ok) return std::nullopt;
    const Location loc = Find(text, section, key);
    if (loc.entry < 0) return std::nullopt;
    const Line& line = loc.lines[static_cast<std::size_t>(loc.entry)];
    std::string_view value =
        Trim(std::string_view(text.data() + loc.valuePos, line.end - loc.valuePos));
    if (value.size() > kMaxValueChars) value = value.substr(0, kMaxValueChars);
    return std::string(value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal is a 32-bit pattern: "$FFFFFFFF" is -1. Leading zeros do not count as digits.
std::optional<int32_t> ParseHex(std::string_view s) {
    if (s.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<int32_t> ParseDecimal(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    int64_t value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

// The stored value has its surrounding blanks stripped already, which covers leading blanks.
std::optional<int32_t> ParseInteger(std::string_view s) {
    if (s.starts_with('$')) return ParseHex(s.substr(1));
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return ParseHex(s.substr(2));
    return ParseDecimal(s);
}

// A name that the file could not give back as written would corrupt the file's structure.
void CheckName(std::string_view name, std::string_view forbidden, std::string_view forbiddenFirst,
               const char* what) {
    if (name.empty() || name != Trim(name) || name.find_first_of(forbidden) != name.npos ||
        forbiddenFirst.find(name.front()) != forbiddenFirst.npos) {
        throw std::invalid_argument(std::string("unusable settings ") + what + " name \"" +
                                    std::string(name) + "\"");
    }
}

// The style of the file's first line end; a new file gets LF, the line end of the platform the
// program runs on (CRLF files keep CRLF).
std::string_view LineEndOf(const std::string& text) {
    const std::size_t lf = text.find('\n');
    return (lf != std::string::npos && lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
}

std::string Edited(const std::string& text, const std::string& section, const std::string& key,
                   std::string_view value) {
    const std::string_view eol = LineEndOf(text);
    const Location loc = Find(text, section, key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (loc.entry >= 0) {
        // The key keeps its spelling and the blanks around "="; only the value is replaced.
        const Line& line = loc.lines[static_cast<std::size_t>(loc.entry)];
        std::size_t from = loc.valuePos;
        while (from < line.end && IsBlank(text[from])) ++from;
        out.append(text, 0, from);
        out.append(value);
        out.append(text, line.end);
        return out;
    }
    std::size_t at = text.size();
    if (loc.section >= 0) at = loc.lines[static_cast<std::size_t>(loc.lastEntry)].next;
    out.append(text, 0, at);
    // A last line without its line end gets one; a CR already there only lacks the LF.
    if (at > 0 && text[at - 1] == '\r') {
        out.append("\n");
    } else if (at > 0 && text[at - 1] != '\n') {
        out.append(eol);
    }
    if (loc.section < 0) out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    out.append(text, at);
    return out;
}

mode_t CurrentUmask() {
    // Read, not set: umask() can only be queried by changing it, which races with other threads.
    mode_t mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The new text goes to a temporary file in the same folder, reaches the disk, and then replaces
// the old file in one rename: a crash or a full disk leaves the old file or the new one, never a
// truncated one. Permissions are judged by the mode bits as well, so a file or folder that no
// one may write refuses even for root, who could otherwise rename over it.
bool Replace(const std::string& target, const std::string& text, const struct stat* old) {
    if (old) {
        if ((old->st_mode & 0222) == 0) return false;
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    }
    const std::string folder = FolderOf(target);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode) || (dir.st_mode & 0222) == 0) {
        return false;
    }

    std::string temp = target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    if (old && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
        // Only root may give the file back to another owner; otherwise the writer owns it now.
    }
    const mode_t mode = old ? (old->st_mode & 07777) : (0666 & ~CurrentUmask());
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename is done; syncing the folder only makes it survive a power cut sooner.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                             int32_t def) const {
    const std::optional<std::string> stored = StoredValue(path_, section, key);
    if (!stored) return def;
    return ParseInteger(*stored).value_or(def);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
    return StoredValue(path_, section, key).value_or(def);
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    CheckName(section, "]\r\n", "", "section");
    CheckName(key, "=\r\n", "[;#", "key");
    // A value is one line: whatever follows a line break could never be read back as part of it,
    // and written as is it would plant lines of its own.
    const std::string_view oneLine = std::string_view(value).substr(0, value.find_first_of("\r\n"));

    // A symbolic link stays a link: the file it points to is the one rewritten.
    std::string target = path_;
    struct stat link {};
    if (::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* resolved = ::realpath(path_.c_str(), nullptr);
        if (!resolved) throw IniWriteError(path_);
        target = resolved;
        std::free(resolved);
    }

    std::string text;
    struct stat info {};
    const Load load = LoadFile(target, text, &info);
    // A file that exists but cannot be read is never replaced: its other lines would be lost.
    if (load == Load::Failed) throw IniWriteError(path_);
    const std::string edited = Edited(text, section, key, oneLine);
    // Rewriting what is already there leaves the file alone, so a read-only installation whose
    // settings are complete starts without a refused write.
    if (load == Load::Ok && edited == text) return;
    if (!Replace(target, edited, load == Load::Ok ? &info : nullptr)) throw IniWriteError(path_);
}
