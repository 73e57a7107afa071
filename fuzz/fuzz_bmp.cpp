// The BMP reader on arbitrary bytes: no crash, no read past the data, and whatever it accepts survives a
// write and a second read unchanged.
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A lower ceiling than the program's keeps each run fast; the size checks are the same code.
    constexpr size_t kMaxImageBytes = size_t(16) << 20;
    TBitmap bitmap;
    try {
        ReadBmp(data, size, bitmap, kMaxImageBytes);
    } catch (const ELumatex&) {
        return 0;
    }
    const std::vector<uint8_t> file = EncodeBmp(bitmap);
    TBitmap again;
    ReadBmp(file.data(), file.size(), again, kMaxImageBytes);
    if (!again.SamePixels(bitmap)) {
        std::fprintf(stderr, "fuzz_bmp: written file reads back different pixels\n");
        std::abort();
    }
    return 0;
}
