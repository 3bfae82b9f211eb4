#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

// Readers take their bytes from a source, so that tests and fuzz targets can
// feed them memory and the program feeds them files.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual int64_t Size() const = 0;
    // Reads up to n bytes at offset; fewer at the end of the source or on an
    // error, none for an offset outside it.
    virtual std::size_t ReadAt(int64_t offset, void* buffer, std::size_t n) = 0;
};

class TMemorySource final : public TByteSource {
public:
    explicit TMemorySource(std::string_view bytes) : bytes_(bytes) {}
    int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
    std::size_t ReadAt(int64_t offset, void* buffer, std::size_t n) override;

private:
    std::string_view bytes_;
};

// A regular file opened for reading; others may read and write it meanwhile.
class TFileSource final : public TByteSource {
public:
    TFileSource() = default;
    ~TFileSource() override;
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;

    // False when the path cannot be opened or is not a regular file.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    std::time_t ModifiedTime() const { return modified_; }

    int64_t Size() const override { return size_; }
    std::size_t ReadAt(int64_t offset, void* buffer, std::size_t n) override;

private:
    int fd_ = -1;
    int64_t size_ = 0;
    std::time_t modified_ = 0;
};

// A read window over a source: hands out views of bytes at any offset,
// reading ahead a little so that a parser walking forward makes few calls.
class TSourceWindow {
public:
    explicit TSourceWindow(TByteSource& source, std::size_t readAhead = 4096)
        : source_(source), readAhead_(readAhead) {}

    TByteSource& Source() { return source_; }
    int64_t Size() const { return source_.Size(); }

    // Up to n bytes at offset, fewer only at the end of the source. The view
    // stays valid until the next call.
    std::string_view View(int64_t offset, std::size_t n);

private:
    TByteSource& source_;
    std::size_t readAhead_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t filled_ = 0;
    int64_t start_ = 0;
};
