#include "platform/Stream.h"

#include "platform/ELumatex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::vector<uint8_t> TStream::ReadRest(size_t maxBytes) {
    const uint64_t size = Size();
    const uint64_t pos = Position();
    const uint64_t rest = size > pos ? size - pos : 0;
    if (rest > maxBytes) throw ELumatex(FormatText("Stream too large: %llu bytes", (unsigned long long)rest));
    std::vector<uint8_t> bytes(static_cast<size_t>(rest));
    bytes.resize(Read(bytes.data(), bytes.size()));
    return bytes;
}

TMemoryStream::TMemoryStream(const void* data, size_t size) {
    if (size != 0) Bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    const size_t n = std::min(count, Bytes.size() - Pos);
    if (n != 0) std::memcpy(buffer, Bytes.data() + Pos, n);
    Pos += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return 0;
    if (Pos + count > Bytes.size()) Bytes.resize(Pos + count);
    std::memcpy(Bytes.data() + Pos, buffer, count);
    Pos += count;
    return count;
}

void TMemoryStream::Seek(uint64_t position) {
    Pos = static_cast<size_t>(std::min<uint64_t>(position, Bytes.size()));
}

TFileStream::TFileStream(const std::string& fileName, TMode mode, const std::string& shownName)
    : FFileName(shownName.empty() ? fileName : shownName) {
    const int flags = mode == TMode::Read ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
    do {
        Handle = ::open(fileName.c_str(), flags | O_CLOEXEC, 0666);
    } while (Handle < 0 && errno == EINTR);
    if (Handle < 0) {
        const char* what = mode == TMode::Read ? "open" : "create";
        throw ELumatex(
            FormatText("Cannot %s file \"%s\": %s", what, FFileName.c_str(), std::strerror(errno)));
    }
}

TFileStream::~TFileStream() {
    if (Handle >= 0) ::close(Handle);
}

size_t TFileStream::Read(void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(Handle, static_cast<uint8_t*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw ELumatex(FormatText("Read error in \"%s\": %s", FFileName.c_str(), std::strerror(errno)));
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(Handle, static_cast<const uint8_t*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw ELumatex(FormatText("Write error in \"%s\": %s", FFileName.c_str(), std::strerror(errno)));
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

uint64_t TFileStream::Position() const {
    const off_t pos = ::lseek(Handle, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

void TFileStream::Seek(uint64_t position) {
    if (::lseek(Handle, static_cast<off_t>(position), SEEK_SET) < 0)
        throw ELumatex(FormatText("Seek error in \"%s\": %s", FFileName.c_str(), std::strerror(errno)));
}

uint64_t TFileStream::Size() const {
    struct stat st {};
    if (::fstat(Handle, &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}
