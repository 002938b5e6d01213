// The record log on real files: what lands in the file, how many records, the summary values, and
// that lost data is counted and reported while the file keeps whole lines only.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "scan/recordlog.h"
#include "scan/scanrecord.h"
#include "tests/support/testfiles.h"

namespace {

constexpr double kSentinel = -12345.678;

void PutDouble(unsigned char* p, double v) {
    std::memcpy(p, &v, sizeof v);
}

double FromBits(uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Record k: sequence number k, then decimal-quantised readings within +-1000 (times `scale`).
void FillBuffer(RecordLog& log, double scale = 1.0, int32_t firstSequence = 0) {
    for (int32_t k = 0; k < kScanBufferRecords; ++k) {
        unsigned char* r =
            log.ScanBuffer.data() + kLeadBytes + static_cast<std::size_t>(k) * kRecordBytes;
        const int32_t seq = firstSequence + k;
        std::memcpy(r, &seq, sizeof seq);
        for (int i = 0; i < 8; ++i) {
            const int64_t q =
                (static_cast<int64_t>(k) * 2654435761LL + i * 40503) % 4000001 - 2000000;
            PutDouble(r + 4 + 8 * i, static_cast<double>(q) * 0.0005 * scale);
        }
    }
}

// What the C library makes of record k, written out independently of the log's formatter.
std::string ReferenceLine(const RecordLog& log, int32_t k) {
    const unsigned char* r = RecordAt(log.ScanBuffer.data(), k);
    char line[4096];
    const int n =
        std::snprintf(line, sizeof line, "%5i\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\r\n",
                      ReadInt32(r), ReadDouble(r + 4), ReadDouble(r + 20), ReadDouble(r + 44),
                      ReadDouble(r + 36), ReadDouble(r + 60), ReadDouble(r + 52));
    return std::string(line, static_cast<std::size_t>(n));
}

std::string ReferenceText(const RecordLog& log, int32_t records) {
    std::string text;
    for (int32_t k = 0; k < records; ++k) text += ReferenceLine(log, k);
    return text;
}

int64_t CountLines(const std::string& text) {
    int64_t n = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++n;
    return n;
}

class RecordLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = tmp_.Path();
        path_ = dir_ + "/Data.Txt";
        log_ = std::make_unique<RecordLog>();
    }
    void TearDown() override { log_.reset(); }
    void SetSentinels() { log_->SummaryA1 = log_->SummaryA2 = log_->SummaryA3 = kSentinel; }
    void ExpectSentinels() {
        EXPECT_EQ(log_->SummaryA1, kSentinel);
        EXPECT_EQ(log_->SummaryA2, kSentinel);
        EXPECT_EQ(log_->SummaryA3, kSentinel);
    }
    void ExpectSummaryFromRecord(int32_t k) {
        const unsigned char* r = RecordAt(log_->ScanBuffer.data(), k);
        EXPECT_TRUE(SameBits(log_->SummaryA1, ReadDouble(r + 12)));
        EXPECT_TRUE(SameBits(log_->SummaryA2, ReadDouble(r + 28)));
        EXPECT_TRUE(SameBits(log_->SummaryA3, ReadDouble(r + 44)));
    }

    TempDir tmp_{"tst_recordlog"};
    std::string dir_;
    std::string path_;
    std::unique_ptr<RecordLog> log_;
};

TEST_F(RecordLogTest, WorkedExampleIsTheWholeFile) {
    unsigned char* r = log_->ScanBuffer.data() + kLeadBytes;
    const int32_t seq = 7;
    std::memcpy(r, &seq, sizeof seq);
    const double doubles[] = {1.5, 2.25, -0.125, 100, 2.71828, 0, -3.75, 1234.5};
    for (int i = 0; i < 8; ++i) PutDouble(r + 4 + 8 * i, doubles[i]);

    log_->OpenScanLog(path_);
    ASSERT_TRUE(log_->IsOpen());
    log_->LogScanRecords(1);
    log_->CloseScanLog();

    EXPECT_FALSE(log_->IsOpen());
    EXPECT_EQ(ReadFile(path_),
              "    7\t\t1.500\t\t-0.125\t\t0.000\t\t2.718\t\t1234.500\t\t-3.750\r\n");
    EXPECT_EQ(log_->SummaryA1, 2.25);
    EXPECT_EQ(log_->SummaryA2, 100.0);
    EXPECT_EQ(log_->SummaryA3, 0.0);
    EXPECT_EQ(log_->Health().recordsWritten, 1);
    EXPECT_FALSE(log_->Health().Lost());
    EXPECT_EQ(log_->LossText(), "");
}

// Byte counts as the reads return them, and counts as a careless caller might pass them: never a
// record beyond the buffer, the summary from the last record written, bit for bit.
TEST_F(RecordLogTest, RecordCountsAndSummaryFromLastRecord) {
    const struct {
        const char* what;
        int32_t count;
        int32_t lines;
    } cases[] = {
        {"read of 71 bytes", RecordsInRead(71), 0},
        {"read of 72 bytes", RecordsInRead(72), 1},
        {"read of 143 bytes", RecordsInRead(143), 1},
        {"tick read of 144,000 bytes", RecordsInRead(144000), 2000},
        {"single-shot read of 144,720 bytes", RecordsInRead(144720), 2010},
        {"read above the buffer", RecordsInRead(144720 + 72 * 5), 2010},
        {"read of INT32_MAX bytes", RecordsInRead(INT32_MAX), 2010},
        {"read of -1 bytes", RecordsInRead(-1), 0},
        {"count 2011 passed directly", 2011, 2010},
        {"count INT32_MAX passed directly", INT32_MAX, 2010},
    };
    FillBuffer(*log_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.lines > 0) {
            // Values whose bits arithmetic or a float round trip would change.
            unsigned char* last = log_->ScanBuffer.data() + kLeadBytes +
                                  static_cast<std::size_t>(c.lines - 1) * kRecordBytes;
            PutDouble(last + 12, FromBits(0x7FF4000000000123ULL));  // signalling NaN, payload
            PutDouble(last + 28, FromBits(0x0000000000000001ULL));  // smallest subnormal
            PutDouble(last + 44, -0.0);
        }
        SetSentinels();
        log_->OpenScanLog(path_);
        log_->LogScanRecords(c.count);
        log_->CloseScanLog();

        EXPECT_EQ(ReadFile(path_), ReferenceText(*log_, c.lines));
        EXPECT_EQ(log_->Health().recordsWritten, c.lines);
        if (c.lines > 0) {
            ExpectSummaryFromRecord(c.lines - 1);
        } else {
            ExpectSentinels();
        }
        FillBuffer(*log_);
    }
}

TEST_F(RecordLogTest, BatchesAppendAndSummaryFollowsTheLastBatch) {
    log_->OpenScanLog(path_);
    FillBuffer(*log_, 1.0, 100);
    log_->LogScanRecords(3);
    const std::string first = ReferenceText(*log_, 3);
    FillBuffer(*log_, 0.5, 200);
    log_->LogScanRecords(2);
    log_->CloseScanLog();

    EXPECT_EQ(ReadFile(path_), first + ReferenceText(*log_, 2));
    ExpectSummaryFromRecord(1);
    EXPECT_EQ(log_->Health().recordsWritten, 5);
}

TEST_F(RecordLogTest, NothingHappensWithoutAPositiveCountOrAnOpenLog) {
    FillBuffer(*log_);
    SetSentinels();
    log_->LogScanRecords(5);  // never opened
    ExpectSentinels();

    log_->OpenScanLog(path_);
    for (const int32_t count : {0, -1, INT32_MIN}) log_->LogScanRecords(count);
    log_->CloseScanLog();
    log_->LogScanRecords(5);  // closed again

    ExpectSentinels();
    EXPECT_EQ(ReadFile(path_), "");
    EXPECT_EQ(log_->Health().recordsWritten, 0);
    EXPECT_EQ(log_->Health().recordsLost, 0);
    EXPECT_FALSE(log_->Health().Lost());
}

TEST_F(RecordLogTest, EveryOpenEmptiesTheFileAndStartsFreshCounts) {
    FillBuffer(*log_);
    log_->OpenScanLog(path_);
    log_->LogScanRecords(3);
    log_->CloseScanLog();
    ASSERT_EQ(CountLines(ReadFile(path_)), 3);

    log_->OpenScanLog(path_);
    EXPECT_EQ(ReadFile(path_), "");
    log_->LogScanRecords(1);
    log_->CloseScanLog();
    EXPECT_EQ(ReadFile(path_), ReferenceLine(*log_, 0));
    EXPECT_EQ(log_->Health().recordsWritten, 1);
}

TEST_F(RecordLogTest, EndOfProgramClosesAnOpenLogWithAllLines) {
    FillBuffer(*log_);
    log_->OpenScanLog(path_);
    log_->LogScanRecords(4);
    const std::string expected = ReferenceText(*log_, 4);
    log_.reset();
    EXPECT_EQ(ReadFile(path_), expected);
}

TEST_F(RecordLogTest, LogThatCannotBeOpenedIsReportedAndCountsLostRecords) {
    const struct {
        std::string path;
        int error;
    } cases[] = {
        {dir_, EISDIR},
        {dir_ + "/missing/Data.Txt", ENOENT},
    };
    FillBuffer(*log_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        SetSentinels();
        log_->OpenScanLog(c.path);
        EXPECT_FALSE(log_->IsOpen());
        log_->LogScanRecords(5);
        log_->LogScanRecords(7);

        const LogHealth& h = log_->Health();
        EXPECT_TRUE(h.openFailed);
        EXPECT_TRUE(h.Lost());
        EXPECT_EQ(h.recordsWritten, 0);
        EXPECT_EQ(h.recordsLost, 12);
        EXPECT_EQ(h.reason, std::strerror(c.error));
        EXPECT_EQ(log_->LossText(),
                  c.path + ": " + std::strerror(c.error) + " - 12 records not logged");
        ExpectSentinels();
        log_->CloseScanLog();
    }
}

// The scan goes on: later batches are counted as lost too, and the summary still follows the
// records the board delivered.
TEST_F(RecordLogTest, FullDeviceIsReportedAndLaterBatchesCountAsLost) {
    FillBuffer(*log_);
    log_->OpenScanLog("/dev/full");
    ASSERT_TRUE(log_->IsOpen());
    log_->LogScanRecords(10);
    log_->LogScanRecords(1);
    log_->CloseScanLog();

    const LogHealth& h = log_->Health();
    EXPECT_TRUE(h.writeFailed);
    EXPECT_FALSE(h.openFailed);
    EXPECT_EQ(h.recordsWritten, 0);
    EXPECT_EQ(h.recordsLost, 11);
    EXPECT_EQ(h.reason, std::strerror(ENOSPC));
    EXPECT_EQ(log_->LossText(),
              std::string("/dev/full: ") + std::strerror(ENOSPC) + " - 11 records not logged");
    ExpectSummaryFromRecord(0);
}

// A file-size limit makes the kernel accept part of a write and refuse the rest: the situation in
// which a file would end in half a line.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &savedAction_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        sigaction(SIGXFSZ, &savedAction_, nullptr);
    }
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    struct sigaction savedAction_ {};
    bool ok_ = false;
};

TEST_F(RecordLogTest, FailedWriteLeavesWholeLinesAndAccountsForEveryRecord) {
    const struct {
        const char* what;
        double scale;  // 1e297 makes lines of about 1,900 bytes, so one batch spans several writes
        int32_t batches[3];
        rlim_t limit;
    } cases[] = {
        {"limit inside the second batch", 1.0, {50, 2000, 10}, 50 * 60 + 5000},
        {"limit inside the first batch", 1.0, {2000, 5, 0}, 777},
        {"limit inside one batch of several writes", 1e297, {2010, 3, 0}, 1500000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FillBuffer(*log_, c.scale);
        int64_t handedIn = 0;
        {
            FileSizeLimit limit(c.limit);
            ASSERT_TRUE(limit.ok());
            log_->OpenScanLog(path_);
            for (const int32_t n : c.batches) {
                log_->LogScanRecords(n);
                handedIn += n;
            }
            log_->CloseScanLog();
        }
        const std::string text = ReadFile(path_);
        const LogHealth& h = log_->Health();

        EXPECT_TRUE(h.writeFailed);
        EXPECT_EQ(h.reason, std::strerror(EFBIG));
        EXPECT_LE(text.size(), c.limit);
        EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
        EXPECT_EQ(CountLines(text), h.recordsWritten);
        EXPECT_EQ(h.recordsWritten + h.recordsLost, handedIn);
        EXPECT_GT(h.recordsLost, 0);
        // The lines kept are the first lines handed in, unchanged.
        std::string expected;
        for (const int32_t n : c.batches) expected += ReferenceText(*log_, n);
        EXPECT_EQ(text, expected.substr(0, text.size()));
        // Every whole line that fitted under the limit was kept: the next one would not fit.
        const std::size_t next = expected.find("\r\n", text.size());
        ASSERT_NE(next, std::string::npos);
        EXPECT_GT(next + 2, c.limit);
    }
}

// Without anyone ignoring SIGXFSZ, its default action would end the program mid-scan.
TEST_F(RecordLogTest, FileSizeLimitDoesNotEndTheProgram) {
    EXPECT_EXIT(
        {
            signal(SIGXFSZ, SIG_DFL);
            rlimit limited{};
            getrlimit(RLIMIT_FSIZE, &limited);
            limited.rlim_cur = 1000;
            setrlimit(RLIMIT_FSIZE, &limited);
            FillBuffer(*log_);
            log_->OpenScanLog(path_);
            log_->LogScanRecords(100);
            std::_Exit(log_->Health().writeFailed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RecordLogTest, FileUnderGermanLocaleIsByteIdentical) {
    FillBuffer(*log_, 1.0);
    log_->OpenScanLog(path_);
    log_->LogScanRecords(kScanBufferRecords);
    log_->CloseScanLog();
    const std::string inC = ReadFile(path_);

    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.3f", 1.5);
    log_->OpenScanLog(path_);
    log_->LogScanRecords(kScanBufferRecords);
    log_->CloseScanLog();
    std::setlocale(LC_ALL, "C");

    ASSERT_STREQ(probe, "1,500") << "the locale did not take effect";
    EXPECT_EQ(ReadFile(path_), inC);
}

}  // namespace
