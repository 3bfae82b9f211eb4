#include "core/fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

void SyncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    SyncFolder(slash == std::string::npos ? "." : path.substr(0, slash + 1));
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    contents.clear();
    if (ok) {
        contents.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < contents.size()) {
            const ssize_t n = read(fd, contents.data() + done, contents.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        contents.resize(done);
    }
    close(fd);
    return ok;
}

TMappedFile::~TMappedFile() {
    if (data_ != nullptr) munmap(data_, size_);
}

bool TMappedFile::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > 0) {
        void* data = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        ok = data != MAP_FAILED;
        if (ok) {
            data_ = data;
            size_ = static_cast<std::size_t>(st.st_size);
        }
    }
    close(fd);
    return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view contents) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, contents);
    return (close(fd) == 0) && written;
}

TPendingFile::~TPendingFile() {
    if (pending_) unlink((path_ + ".new").c_str());
}

bool TPendingFile::Fail(const char* step) {
    error_ = std::string(step) + ": " + std::strerror(errno);
    if (pending_) unlink((path_ + ".new").c_str());
    pending_ = false;
    return false;
}

bool TPendingFile::Write(const std::string& path, std::string_view contents) {
    path_ = path;
    error_.clear();
    const std::string temp = path + ".new";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Fail("cannot create");
    pending_ = true;
    if (!WriteAll(fd, contents) || fsync(fd) != 0) {
        const int cause = errno;
        close(fd);
        errno = cause;
        return Fail("cannot write");
    }
    if (close(fd) != 0) return Fail("cannot write");
    return true;
}

bool TPendingFile::Commit() {
    if (!pending_) return false;
    if (std::rename((path_ + ".new").c_str(), path_.c_str()) != 0) return Fail("cannot replace");
    pending_ = false;
    // The rename itself reaches the disk with the folder.
    SyncFolderOf(path_);
    return true;
}

bool ReplaceFileContents(const std::string& path, std::string_view contents, std::string* error) {
    TPendingFile file;
    const bool ok = file.Write(path, contents) && file.Commit();
    if (error != nullptr) *error = file.Error();
    return ok;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool MoveAside(const std::string& path, const std::string& newPath) {
    if (std::rename(path.c_str(), newPath.c_str()) != 0) return false;
    SyncFolderOf(newPath);
    return true;
}

struct timespec ProcessStartTime() {
    static const struct timespec start = [] {
        // The start in clock ticks after boot (the 22nd field, after the
        // command name in parentheses), taken back from the time now on the
        // clock that counts from boot: exact to a tick, where the boot time
        // the kernel tells is whole seconds.
        struct timespec now {}, sinceBoot {};
        clock_gettime(CLOCK_REALTIME, &now);
        clock_gettime(CLOCK_BOOTTIME, &sinceBoot);
        std::ifstream stat("/proc/self/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) return now;
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        for (int i = 3; i < 22 && fields >> field;) ++i;
        unsigned long long ticks = 0;
        const long hz = sysconf(_SC_CLK_TCK);
        if (!(fields >> ticks) || hz <= 0) return now;
        constexpr long long kNano = 1000000000LL;
        const long long startedAfterBoot = static_cast<long long>(ticks) * (kNano / hz);
        const long long running = sinceBoot.tv_sec * kNano + sinceBoot.tv_nsec - startedAfterBoot;
        const long long started = now.tv_sec * kNano + now.tv_nsec - std::max(running, 0LL);
        return timespec{static_cast<time_t>(started / kNano), static_cast<long>(started % kNano)};
    }();
    return start;
}

void RemoveOwnLeftover(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    const struct timespec start = ProcessStartTime();
    if (st.st_mtim.tv_sec < start.tv_sec || (st.st_mtim.tv_sec == start.tv_sec && st.st_mtim.tv_nsec < start.tv_nsec))
        unlink(path.c_str());
}
