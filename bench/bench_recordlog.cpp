// One tick batch (2,000 records) through the record log, against the same batch through fprintf per
// record, std::to_chars into one buffer, and the floor of copying the finished text and writing
// it once; to /dev/null and to a real file. All four produce the same bytes, checked before the
// timing starts. The table at the end gives ns per record and the ratios of this run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "scan/recordformat.h"
#include "scan/recordlog.h"
#include "scan/scanrecord.h"

namespace {

constexpr int32_t kBatch = kTickPullBytes / kRecordBytes;  // 2000
// A file target is emptied every so many batches so that the run does not fill the disk.
constexpr int64_t kBatchesPerFile = 64;
constexpr const char* kFormat = "%5i\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\r\n";
constexpr int kColumns[6] = {kOffCol2, kOffCol3, kOffCol4A3, kOffCol5, kOffCol6, kOffCol7};

using Buffer = std::array<unsigned char, kScanBufferBytes>;

struct DataSet {
    const char* name;
    Buffer bytes{};
};

// Sequence numbers, then readings of 6 or more significant digits within +-1000.
void FillRealistic(Buffer& b) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> reading(-1000.0, 1000.0);
    for (int32_t k = 0; k < kScanBufferRecords; ++k) {
        unsigned char* r = b.data() + kLeadBytes + static_cast<std::size_t>(k) * kRecordBytes;
        const int32_t seq = 100000 + k;
        std::memcpy(r, &seq, 4);
        for (int i = 0; i < 8; ++i) {
            const double v = reading(rng);
            std::memcpy(r + 4 + 8 * i, &v, 8);
        }
    }
}

// Magnitudes from 1e-6 to 1e9, both signs, one value in twenty zero.
void FillWide(Buffer& b) {
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> exponent(-6.0, 9.0);
    for (int32_t k = 0; k < kScanBufferRecords; ++k) {
        unsigned char* r = b.data() + kLeadBytes + static_cast<std::size_t>(k) * kRecordBytes;
        const int32_t seq = k;
        std::memcpy(r, &seq, 4);
        for (int i = 0; i < 8; ++i) {
            double v = std::pow(10.0, exponent(rng));
            if (rng() % 2) v = -v;
            if (rng() % 20 == 0) v = 0.0;
            std::memcpy(r + 4 + 8 * i, &v, 8);
        }
    }
}

char* ToCharsLine(const unsigned char* r, char* out, char* end) {
    char digits[16];
    const auto [e, ec] = std::to_chars(digits, digits + sizeof digits, ReadInt32(r));
    (void)ec;
    const long len = e - digits;
    for (long i = len; i < 5; ++i) *out++ = ' ';
    std::memcpy(out, digits, static_cast<std::size_t>(len));
    out += len;
    for (const int offset : kColumns) {
        *out++ = '\t';
        *out++ = '\t';
        out = std::to_chars(out, end, ReadDouble(r + offset), std::chars_format::fixed, 3).ptr;
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

std::string OursText(const Buffer& b) {
    std::vector<char> buf(static_cast<std::size_t>(kBatch) * kMaxRecordLineChars + kFormatScratch);
    char* p = buf.data();
    for (int32_t k = 0; k < kBatch; ++k) p = FormatRecordLine(RecordAt(b.data(), k), p);
    return std::string(buf.data(), p);
}

std::string LibcText(const Buffer& b) {
    std::string text;
    char line[4096];
    for (int32_t k = 0; k < kBatch; ++k) {
        const unsigned char* r = RecordAt(b.data(), k);
        text.append(line, static_cast<std::size_t>(std::snprintf(
                              line, sizeof line, kFormat, ReadInt32(r), ReadDouble(r + 4),
                              ReadDouble(r + 20), ReadDouble(r + 44), ReadDouble(r + 36),
                              ReadDouble(r + 60), ReadDouble(r + 52))));
    }
    return text;
}

std::string ToCharsText(const Buffer& b) {
    std::vector<char> buf(static_cast<std::size_t>(kBatch) * kMaxRecordLineChars + kFormatScratch);
    char* p = buf.data();
    for (int32_t k = 0; k < kBatch; ++k) {
        p = ToCharsLine(RecordAt(b.data(), k), p, buf.data() + buf.size());
    }
    return std::string(buf.data(), p);
}

std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[65536];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

void WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0) return;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

// /dev/null cannot be cut and need not be.
void Empty(int fd) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, 0);
    ::lseek(fd, 0, SEEK_SET);
}

void SetCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_RecordLog(benchmark::State& state, const DataSet* data, std::string target) {
    auto log = std::make_unique<RecordLog>();
    log->ScanBuffer = data->bytes;
    log->OpenScanLog(target);
    int64_t batches = 0;
    for (auto _ : state) {
        if (++batches % kBatchesPerFile == 0) {
            state.PauseTiming();
            log->OpenScanLog(target);
            state.ResumeTiming();
        }
        log->LogScanRecords(kBatch);
    }
    log->CloseScanLog();
    if (log->Health().Lost()) state.SkipWithError(log->LossText().c_str());
    SetCounters(state);
}

void BM_Fprintf(benchmark::State& state, const DataSet* data, std::string target) {
    FILE* f = std::fopen(target.c_str(), "wb");
    int64_t batches = 0;
    for (auto _ : state) {
        if (++batches % kBatchesPerFile == 0) {
            state.PauseTiming();
            std::fflush(f);
            Empty(fileno(f));
            std::rewind(f);
            state.ResumeTiming();
        }
        for (int32_t k = 0; k < kBatch; ++k) {
            const unsigned char* r = RecordAt(data->bytes.data(), k);
            std::fprintf(f, kFormat, ReadInt32(r), ReadDouble(r + 4), ReadDouble(r + 20),
                         ReadDouble(r + 44), ReadDouble(r + 36), ReadDouble(r + 60),
                         ReadDouble(r + 52));
        }
    }
    std::fclose(f);
    SetCounters(state);
}

// Formats (to_chars) or copies (floor) into one buffer, then one write per batch.
template <bool kFloor>
void BM_OneBuffer(benchmark::State& state, const DataSet* data, std::string target,
                  std::string finished) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    std::vector<char> buf(static_cast<std::size_t>(kBatch) * kMaxRecordLineChars + kFormatScratch);
    int64_t batches = 0;
    for (auto _ : state) {
        if (++batches % kBatchesPerFile == 0) {
            state.PauseTiming();
            Empty(fd);
            state.ResumeTiming();
        }
        char* p = buf.data();
        if constexpr (kFloor) {
            std::memcpy(p, finished.data(), finished.size());
            p += finished.size();
        } else {
            for (int32_t k = 0; k < kBatch; ++k) {
                p = ToCharsLine(RecordAt(data->bytes.data(), k), p, buf.data() + buf.size());
            }
        }
        WriteAll(fd, buf.data(), static_cast<std::size_t>(p - buf.data()));
        benchmark::ClobberMemory();
    }
    ::close(fd);
    SetCounters(state);
}

// The machine is shared: of several repetitions the fastest is the least disturbed.
constexpr int kRepetitions = 5;

double Fastest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

// Keeps ns per record of every benchmark's fastest repetition for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.aggregate_name != "min") continue;
            // CPU time: on a loaded machine wall time also counts the waits for a core.
            const double seconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            nsPerRecord[run.run_name.function_name] = seconds * 1e9 / kBatch;
        }
    }
    std::map<std::string, double> nsPerRecord;
};

}  // namespace

int main(int argc, char** argv) {
    static DataSet sets[] = {{"realistic", {}}, {"wide", {}}};
    FillRealistic(sets[0].bytes);
    FillWide(sets[1].bytes);

    char pattern[] = "/tmp/bench_recordlog.XXXXXX";
    const int tmp = ::mkstemp(pattern);
    if (tmp < 0) {
        std::perror("mkstemp");
        return 1;
    }
    ::close(tmp);
    const std::string file = pattern;

    // Every method must produce the C library's bytes, and the log must put them in the file.
    for (const DataSet& set : sets) {
        const std::string libc = LibcText(set.bytes);
        auto log = std::make_unique<RecordLog>();
        log->ScanBuffer = set.bytes;
        log->OpenScanLog(file);
        log->LogScanRecords(kBatch);
        log->CloseScanLog();
        if (OursText(set.bytes) != libc || ToCharsText(set.bytes) != libc ||
            ReadFile(file) != libc) {
            std::fprintf(stderr, "%s: outputs differ from the C library's\n", set.name);
            std::remove(file.c_str());
            return 1;
        }
    }

    const char* methods[] = {"log", "fprintf", "to_chars", "floor"};
    const struct {
        const char* name;
        std::string path;
    } targets[] = {{"devnull", "/dev/null"}, {"file", file}};
    for (const DataSet& set : sets) {
        const std::string finished = OursText(set.bytes);
        for (const auto& t : targets) {
            const std::string suffix = std::string("/") + set.name + "/" + t.name;
            benchmark::internal::Benchmark* added[] = {
                benchmark::RegisterBenchmark(("log" + suffix).c_str(), BM_RecordLog, &set, t.path),
                benchmark::RegisterBenchmark(("fprintf" + suffix).c_str(), BM_Fprintf, &set,
                                             t.path),
                benchmark::RegisterBenchmark(("to_chars" + suffix).c_str(), BM_OneBuffer<false>,
                                             &set, t.path, std::string()),
                benchmark::RegisterBenchmark(("floor" + suffix).c_str(), BM_OneBuffer<true>, &set,
                                             t.path, finished),
            };
            for (benchmark::internal::Benchmark* b : added) {
                b->Unit(benchmark::kMicrosecond)
                    ->MinTime(0.1)
                    ->Repetitions(kRepetitions)
                    ->ComputeStatistics("min", Fastest)
                    ->DisplayAggregatesOnly(true);
            }
        }
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::remove(file.c_str());

    std::printf(
        "\nCPU ns per record, fastest of %d repetitions; ratios against the log "
        "(targets: fprintf >= 15x, to_chars >= 4x)\n",
        kRepetitions);
    std::printf("%-20s %9s %9s %9s %9s %10s %10s %10s\n", "batch", "log", "fprintf", "to_chars",
                "floor", "fprintf/log", "to_chars/log", "log/floor");
    for (const DataSet& set : sets) {
        for (const auto& t : targets) {
            const std::string suffix = std::string("/") + set.name + "/" + t.name;
            double ns[4];
            for (int i = 0; i < 4; ++i) {
                const auto it = reporter.nsPerRecord.find(methods[i] + suffix);
                ns[i] = it != reporter.nsPerRecord.end() ? it->second : NAN;  // filtered out
            }
            std::printf("%-20s %9.1f %9.1f %9.1f %9.1f %10.1fx %10.1fx %10.1fx\n",
                        (set.name + std::string("/") + t.name).c_str(), ns[0], ns[1], ns[2], ns[3],
                        ns[1] / ns[0], ns[2] / ns[0], ns[0] / ns[3]);
        }
    }
    return 0;
}
