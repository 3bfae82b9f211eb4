#include "core/bytesource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::size_t TMemorySource::ReadAt(int64_t offset, void* buffer, std::size_t n) {
    if (offset < 0 || offset >= Size()) return 0;
    const std::size_t count = std::min(n, bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
}

TFileSource::~TFileSource() { Close(); }

bool TFileSource::Open(const std::string& path) {
    Close();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    fd_ = fd;
    size_ = st.st_size;
    modified_ = st.st_mtime;
    return true;
}

void TFileSource::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    size_ = 0;
}

std::size_t TFileSource::ReadAt(int64_t offset, void* buffer, std::size_t n) {
    if (fd_ < 0 || offset < 0) return 0;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = pread(fd_, static_cast<char*>(buffer) + done, n - done, offset + static_cast<int64_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::string_view TSourceWindow::View(int64_t offset, std::size_t n) {
    if (offset < 0 || offset >= source_.Size()) return {};
    const int64_t available = source_.Size() - offset;
    if (static_cast<int64_t>(n) > available) n = static_cast<std::size_t>(available);
    if (offset < start_ || offset + static_cast<int64_t>(n) > start_ + static_cast<int64_t>(filled_)) {
        const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(std::max(n, readAhead_), available));
        if (want > capacity_) {
            buffer_ = std::make_unique<char[]>(want);
            capacity_ = want;
        }
        filled_ = source_.ReadAt(offset, buffer_.get(), want);
        start_ = offset;
    }
    const std::size_t at = static_cast<std::size_t>(offset - start_);
    return std::string_view(buffer_.get() + at, std::min(n, filled_ - at));
}
