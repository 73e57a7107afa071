// Stream.h: small seekable byte streams for the image readers and writers: one in memory, one over a file.
// Not thread-safe; one owner at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TStream {
public:
    virtual ~TStream() = default;

    // Bytes actually read; fewer than count only at the end of the data.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Bytes actually written; a file stream raises ELumatex when the system reports a write error.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    virtual uint64_t Position() const = 0;
    // Positions past the end are clamped to the end for reading streams.
    virtual void Seek(uint64_t position) = 0;
    virtual uint64_t Size() const = 0;

    // Everything from the position to the end; raises ELumatex when that is more than maxBytes.
    std::vector<uint8_t> ReadRest(size_t maxBytes);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}
    TMemoryStream(const void* data, size_t size);

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override; // grows the data
    uint64_t Position() const override { return Pos; }
    void Seek(uint64_t position) override;
    uint64_t Size() const override { return Bytes.size(); }

    std::vector<uint8_t> Bytes;

private:
    size_t Pos = 0;
};

class TFileStream : public TStream {
public:
    enum class TMode { Read, Create }; // Create replaces an existing file

    // Raises ELumatex naming the file and the system's reason when it cannot be opened or created. Its
    // messages name shownName instead when one is given: the file the user asked for, where fileName is a
    // scratch file that becomes it.
    TFileStream(const std::string& fileName, TMode mode, const std::string& shownName = {});
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    ~TFileStream() override;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    uint64_t Position() const override;
    void Seek(uint64_t position) override;
    uint64_t Size() const override;

private:
    int Handle = -1;
    std::string FFileName;
};
