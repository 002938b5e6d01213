#include "sim/faultscript.h"

#include <limits>

#include "sim/descriptors.h"
#include "sim/text.h"

namespace zorix {

namespace {

constexpr const char* kCallNames[kBoardCallCount] = {
    "InitMcuSystem3", "BootFile",        "wrOptionInt",          "rdOptionInt",
    "rdOptionDbl",    "rdScannerBuffer", "SendReqScannerBuffer", "CleanServiceUsers",
};

std::tuple<int32_t, int32_t, int32_t> KeyOf(const OptionDescriptor& d) {
    return {d.group, d.index, d.subIndex};
}

bool IsOptionCall(BoardCall c) {
    return c == BoardCall::wrOptionInt || c == BoardCall::rdOptionInt ||
           c == BoardCall::rdOptionDbl;
}

// Reads one directive line; throws nothing, reports through `why`.
class LineParser {
  public:
    LineParser(std::vector<std::string_view> words, std::string& why)
        : words_(std::move(words)), why_(why) {}

    bool Done() const { return pos_ == words_.size(); }
    bool Peek(std::string_view word) const {
        return pos_ < words_.size() && EqualsNoCase(words_[pos_], word);
    }
    bool Take(std::string_view& word, const char* what) {
        if (pos_ == words_.size()) return Fail(std::string("missing ") + what);
        word = words_[pos_++];
        return true;
    }
    bool Expect(std::string_view keyword) {
        if (!Peek(keyword)) return Fail("expected '" + std::string(keyword) + "'");
        ++pos_;
        return true;
    }
    bool Number(int64_t low, int64_t high, int64_t& out, const char* what) {
        std::string_view word;
        if (!Take(word, what)) return false;
        if (!ParseInteger(word, out) || out < low || out > high)
            return Fail(std::string(what) + " must be a number from " + std::to_string(low) +
                        " to " + std::to_string(high) + ", not '" + std::string(word) + "'");
        return true;
    }
    bool Int32(int32_t& out, const char* what) {
        int64_t n = 0;
        if (!Number(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), n,
                    what))
            return false;
        out = static_cast<int32_t>(n);
        return true;
    }
    // An optional "<k>", "<k>+" or "*"; anything else is left for the next step.
    bool OptionalWhen(When& when) {
        if (pos_ == words_.size()) return true;
        std::string_view word = words_[pos_];
        if (word == "*") {
            ++pos_;
            when = When{1, true};
            return true;
        }
        bool onward = !word.empty() && word.back() == '+';
        if (onward) word.remove_suffix(1);
        if (word.empty() || word.find_first_not_of("0123456789") != std::string_view::npos)
            return true;
        int64_t k = 0;
        if (!ParseInteger(word, k) || k < 1) return Fail("a count starts at 1");
        ++pos_;
        when = When{k, onward};
        return true;
    }
    bool End() { return Done() || Fail("unexpected '" + std::string(words_[pos_]) + "'"); }
    bool Fail(std::string why) {
        why_ = std::move(why);
        return false;
    }

  private:
    std::vector<std::string_view> words_;
    std::size_t pos_ = 0;
    std::string& why_;
};

bool ParseVerb(LineParser& p, FaultRule& rule) {
    if (p.Peek("fail")) {
        rule.verb = FaultVerb::Fail;
    } else if (p.Peek("result")) {
        rule.verb = FaultVerb::Result;
    } else {
        return p.Fail("expected 'fail <n>' or 'result <n>'");
    }
    std::string_view verb;
    p.Take(verb, "verb");
    return p.Int32(rule.value, "the result");
}

bool ParseOptionTarget(std::string_view word, FaultRule& rule) {
    if (const BoardOption* o = FindOption(word)) {
        rule.group = o->group;
        rule.index = o->index;
        rule.subIndex = o->subIndex;
        return true;
    }
    // group/index/subIndex
    int64_t parts[3];
    for (int i = 0; i < 3; ++i) {
        std::size_t slash = word.find('/');
        std::string_view part = i < 2 ? word.substr(0, slash) : word;
        if ((i < 2 && slash == std::string_view::npos) || !ParseInteger(part, parts[i]) ||
            parts[i] < std::numeric_limits<int32_t>::min() ||
            parts[i] > std::numeric_limits<int32_t>::max())
            return false;
        if (i < 2) word.remove_prefix(slash + 1);
    }
    rule.group = static_cast<int32_t>(parts[0]);
    rule.index = static_cast<int32_t>(parts[1]);
    rule.subIndex = static_cast<int32_t>(parts[2]);
    return true;
}

template <typename T>
bool Once(std::optional<T>& slot, LineParser& p, const char* what) {
    if (slot) return p.Fail(std::string(what) + " is given twice");
    return true;
}

bool ParseLine(LineParser& p, int line, FaultScript& s) {
    std::string_view directive;
    p.Take(directive, "directive");
    FaultRule rule;
    rule.line = line;
    if (EqualsNoCase(directive, "call")) {
        std::string_view name;
        if (!p.Take(name, "function name")) return false;
        bool found = false;
        for (std::size_t i = 0; i < kBoardCallCount; ++i) {
            if (EqualsNoCase(name, kCallNames[i])) {
                rule.call = static_cast<BoardCall>(i);
                found = true;
            }
        }
        if (!found) return p.Fail("unknown function '" + std::string(name) + "'");
        rule.target = FaultRule::Target::Call;
        if (!p.OptionalWhen(rule.when) || !ParseVerb(p, rule)) return false;
        s.rules.push_back(rule);
    } else if (EqualsNoCase(directive, "option")) {
        std::string_view name;
        if (!p.Take(name, "option")) return false;
        if (!ParseOptionTarget(name, rule))
            return p.Fail("unknown option '" + std::string(name) +
                          "' (a name, or group/index/subIndex)");
        rule.target = FaultRule::Target::Option;
        if (!p.OptionalWhen(rule.when) || !ParseVerb(p, rule)) return false;
        s.rules.push_back(rule);
    } else if (EqualsNoCase(directive, "pull")) {
        rule.target = FaultRule::Target::Pull;
        if (!p.OptionalWhen(rule.when) || !p.Expect("bytes") || !p.Int32(rule.value, "bytes"))
            return false;
        s.rules.push_back(rule);
    } else if (EqualsNoCase(directive, "stall")) {
        int64_t n = 0;
        if (p.Peek("time")) {
            if (!Once(s.stallAfterMs, p, "stall time") || !p.Expect("time") ||
                !p.Number(0, 86'400'000, n, "milliseconds"))
                return false;
            s.stallAfterMs = n;
        } else if (p.Peek("pull")) {
            if (!Once(s.stallAfterPull, p, "stall pull") || !p.Expect("pull") ||
                !p.Number(1, std::numeric_limits<int32_t>::max(), n, "pull"))
                return false;
            s.stallAfterPull = n;
        } else {
            return p.Fail("expected 'stall time <ms>' or 'stall pull <k>'");
        }
    } else if (EqualsNoCase(directive, "status")) {
        int64_t mask = 0;
        if (!p.Expect("set") || !p.Number(0, 0xFFFFFFFF, mask, "mask")) return false;
        s.statusSet |= static_cast<int32_t>(static_cast<uint32_t>(mask));
    } else if (EqualsNoCase(directive, "physmem")) {
        if (!Once(s.physMem, p, "physmem")) return false;
        if (p.Peek("available")) {
            s.physMem = true;
        } else if (p.Peek("unavailable")) {
            s.physMem = false;
        } else {
            return p.Fail("expected 'physmem available' or 'physmem unavailable'");
        }
        std::string_view word;
        p.Take(word, "state");
    } else if (EqualsNoCase(directive, "recordsize")) {
        int32_t size = 0;
        if (!Once(s.recordSize, p, "recordsize") || !p.Int32(size, "record size")) return false;
        s.recordSize = size;
    } else if (EqualsNoCase(directive, "strobe")) {
        if (s.strobeGiven) return p.Fail("strobe is given twice");
        s.strobeGiven = true;
        if (p.Peek("never")) {
            std::string_view word;
            p.Take(word, "never");
        } else {
            int64_t ms = 0;
            if (!p.Number(0, 86'400'000, ms, "milliseconds")) return false;
            s.strobeMs = ms;
        }
    } else if (EqualsNoCase(directive, "clock")) {
        int64_t us = 0;
        if (!Once(s.clockStepUs, p, "clock step") || !p.Expect("step") ||
            !p.Number(0, 3'600'000'000, us, "microseconds"))
            return false;
        s.clockStepUs = us;
    } else {
        return p.Fail("unknown directive '" + std::string(directive) + "'");
    }
    return p.End();
}

}  // namespace

void FaultCounters::Count(BoardCall call, const OptionDescriptor* d, bool pull) {
    ++calls[static_cast<std::size_t>(call)];
    if (d && IsOptionCall(call)) ++options[KeyOf(*d)];
    if (pull) ++pulls;
}

const FaultRule* FaultScript::Match(const FaultCounters& counters, BoardCall call,
                                    const OptionDescriptor* d, bool pull) const {
    for (const FaultRule& rule : rules) {
        switch (rule.target) {
            case FaultRule::Target::Call:
                if (rule.call == call &&
                    rule.when.Matches(counters.calls[static_cast<std::size_t>(call)]))
                    return &rule;
                break;
            case FaultRule::Target::Option:
                if (d && IsOptionCall(call) &&
                    KeyOf(*d) == std::tuple{rule.group, rule.index, rule.subIndex} &&
                    rule.when.Matches(counters.options.at(KeyOf(*d))))
                    return &rule;
                break;
            case FaultRule::Target::Pull:
                if (pull && rule.when.Matches(counters.pulls)) return &rule;
                break;
        }
    }
    return nullptr;
}

bool ParseFaultScript(std::string_view text, FaultScript& out, std::string& error) {
    FaultScript script;
    int lineNumber = 0;
    std::string_view line;
    while (NextLine(text, line)) {
        ++lineNumber;
        std::vector<std::string_view> words = Words(StripComment(line));
        if (words.empty()) continue;
        std::string why;
        LineParser parser(std::move(words), why);
        if (!ParseLine(parser, lineNumber, script)) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    out = std::move(script);
    return true;
}

const char* BoardCallName(BoardCall call) {
    return kCallNames[static_cast<std::size_t>(call)];
}

}  // namespace zorix
