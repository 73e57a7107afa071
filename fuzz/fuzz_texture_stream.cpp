// TglBitmap2D::LoadFromStream on arbitrary bytes, without a GL context (loading makes no GL call): the TGA,
// JPEG and BMP readers are each reached by their own signature. No crash, no leak, and a loaded object's
// size never describes more bytes than it holds.
#include "imaging/glBitmap.h"
#include "platform/ELumatex.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TglBitmap2D texture;
    texture.MaxImageBytes = size_t(16) << 20; // keeps each run fast; the checks are the program's
    TMemoryStream stream(data, size);
    try {
        texture.LoadFromStream(stream);
    } catch (const ELumatex&) {
        return 0;
    }
    const size_t described = size_t(texture.Width) * size_t(texture.Height) * size_t(texture.BytesPerPixel());
    if (!texture.Pixels || described > texture.PixelBytes) {
        std::fprintf(stderr, "fuzz_texture_stream: %d x %d pixels described, %zu bytes held\n", texture.Width,
                     texture.Height, texture.PixelBytes);
        std::abort();
    }
    TBitmap copy;
    texture.CopyToBitmap(&copy);
    return 0;
}
