#include "scan/recordlog.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "scan/recordformat.h"

namespace {

// A whole tick batch of real data (2,000 lines of about 70 to 110 bytes) fits, so a batch is
// normally one write(); only lines of huge magnitudes spill into a second chunk.
constexpr std::size_t kChunkBytes = 512 * 1024;
static_assert(kChunkBytes > 4 * kMaxRecordLineChars);

// Hands all n bytes to the kernel, through short writes and interrupted calls; 0 or errno.
// `done` tells how many bytes reached the file, also when the write failed part-way.
int WriteAll(int fd, const char* p, std::size_t n, std::size_t& done) {
    done = 0;
    while (done < n) {
        const ssize_t written = ::write(fd, p + done, n - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;  // no progress and no reason: do not spin
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// Bytes and lines of the whole lines at the start of p[0, n).
std::pair<std::size_t, int32_t> WholeLines(const char* p, std::size_t n) {
    std::size_t bytes = 0;
    int32_t lines = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == '\n') {
            bytes = i + 1;
            ++lines;
        }
    }
    return {bytes, lines};
}

// Under a file-size limit the default SIGXFSZ would end the program in the middle of a scan;
// ignored, the write fails with EFBIG, which the log reports. A handler someone installed stays.
void IgnoreFileSizeSignal() {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        signal(SIGXFSZ, SIG_IGN);
    }
}

}  // namespace

struct RecordLog::Impl {
    std::string path;
    int fd = -1;
    // From OpenScanLog to CloseScanLog, also when the open failed: records handed in then and
    // not written are lost and counted; outside a scan there is nothing to lose.
    bool scanActive = false;
    // After a failed write the file holds whole lines up to goodSize and stays that way until the
    // next OpenScanLog: a file with a hole in the middle would pass for a complete one.
    bool writeFailed = false;
    off_t goodSize = 0;
    std::unique_ptr<char[]> chunk{new char[kChunkBytes]};
};

RecordLog::RecordLog() : impl_(new Impl) {}

RecordLog::~RecordLog() {
    CloseScanLog();
    delete impl_;
}

bool RecordLog::IsOpen() const {
    return impl_->fd >= 0;
}

void RecordLog::OpenScanLog(const std::string& path) {
    if (impl_->fd >= 0) CloseScanLog();
    health_ = LogHealth{};
    impl_->path = path;
    impl_->writeFailed = false;
    impl_->goodSize = 0;
    impl_->scanActive = true;
    IgnoreFileSizeSignal();
    impl_->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (impl_->fd < 0) {
        health_.openFailed = true;
        health_.reason = std::strerror(errno);
    }
}

void RecordLog::LogScanRecords(int32_t count) {
    if (count <= 0 || !impl_->scanActive) return;
    // Record 2009's bytes 0 to 67 end on the buffer's last byte; a larger count is clipped.
    if (count > kScanBufferRecords) count = kScanBufferRecords;
    if (impl_->fd < 0) {
        health_.recordsLost += count;
        return;
    }

    // Bit for bit: the summary shows what the board sent, not a value that went through arithmetic.
    const unsigned char* last = RecordAt(ScanBuffer.data(), count - 1);
    std::memcpy(&SummaryA1, last + kOffA1, sizeof(double));
    std::memcpy(&SummaryA2, last + kOffA2, sizeof(double));
    std::memcpy(&SummaryA3, last + kOffCol4A3, sizeof(double));

    if (impl_->writeFailed) {
        health_.recordsLost += count;
        return;
    }

    char* const begin = impl_->chunk.get();
    char* const refill = begin + kChunkBytes - kMaxRecordLineChars - kFormatScratch;
    char* p = begin;
    int32_t pending = 0;
    for (int32_t k = 0; k < count; ++k) {
        p = FormatRecordLine(RecordAt(ScanBuffer.data(), k), p);
        ++pending;
        if (p > refill || k == count - 1) {
            const std::size_t bytes = static_cast<std::size_t>(p - begin);
            std::size_t done = 0;
            const int error = WriteAll(impl_->fd, begin, bytes, done);
            if (error != 0) {
                // Keep the lines that reached the file whole and cut the rest back to the last
                // line end; a device such as /dev/full cannot be cut, and then holds nothing
                // partial to cut either.
                const auto [keptBytes, keptLines] = WholeLines(begin, done);
                impl_->goodSize += static_cast<off_t>(keptBytes);
                if (::ftruncate(impl_->fd, impl_->goodSize) == 0) {
                    ::lseek(impl_->fd, impl_->goodSize, SEEK_SET);
                }
                impl_->writeFailed = true;
                health_.writeFailed = true;
                if (health_.reason.empty()) health_.reason = std::strerror(error);
                health_.recordsWritten += keptLines;
                health_.recordsLost += pending - keptLines + (count - 1 - k);
                return;
            }
            impl_->goodSize += static_cast<off_t>(bytes);
            health_.recordsWritten += pending;
            pending = 0;
            p = begin;
        }
    }
}

void RecordLog::CloseScanLog() {
    impl_->scanActive = false;
    if (impl_->fd < 0) return;
    // Every batch already went to the kernel; a failing close (a network file system reporting a
    // late write error) still means the file may be incomplete.
    if (::close(impl_->fd) != 0 && errno != EINTR) {
        if (health_.reason.empty()) health_.reason = std::strerror(errno);
        health_.writeFailed = true;
    }
    impl_->fd = -1;
}

std::string RecordLog::LossText() const {
    if (!health_.Lost()) return {};
    const int64_t n = health_.recordsLost;
    return impl_->path + ": " + health_.reason + " - " + std::to_string(n) +
           (n == 1 ? " record" : " records") + " not logged";
}
