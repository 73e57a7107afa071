#include "imaging/JpegCodec.h"

#include "platform/ELumatex.h"
#include "platform/Stream.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. It jumps back to the frame that
// called setjmp; that frame holds only plain C data, so no destructor is skipped.
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    bool HitEndOfData;
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    error->Manager.format_message(info, error->Message);
    std::longjmp(error->Jump, 1);
}

extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    // Warnings are tolerated (many files carry harmless ones), except running out of data: the rest of
    // the picture would be invented grey.
    if (level < 0 && error->Manager.msg_code == JWRN_JPEG_EOF) error->HitEndOfData = true;
}

void InitError(TJpegError& error) {
    jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegErrorExit;
    error.Manager.emit_message = JpegEmitMessage;
    error.Message[0] = 0;
    error.HitEndOfData = false;
}

// Phase 1: header only, so the size can be refused before anything big is allocated.
bool ReadHeader(jpeg_decompress_struct* info, TJpegError* error, const uint8_t* data, size_t size) {
    if (setjmp(error->Jump)) return false;
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    switch (info->jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
        info->out_color_space = JCS_CMYK;
        break;
    default: // grey-scale, YCbCr and RGB all come out as blue, green, red
        info->out_color_space = JCS_EXT_BGR;
        break;
    }
    jpeg_calc_output_dimensions(info);
    return true;
}

// Phase 2: the pixels, row by row into the bitmap (already sized); CMYK rows go through scratch.
bool ReadPixels(jpeg_decompress_struct* info, TJpegError* error, TBitmap* bitmap, uint8_t* scratch) {
    if (setjmp(error->Jump)) return false;
    jpeg_start_decompress(info);
    const bool cmyk = info->out_color_space == JCS_CMYK;
    // Adobe's CMYK JPEGs store inverted values.
    const bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        const int row = static_cast<int>(info->output_scanline);
        JSAMPROW target = cmyk ? scratch : bitmap->ScanLine(row);
        jpeg_read_scanlines(info, &target, 1);
        if (cmyk) {
            uint8_t* dst = bitmap->ScanLine(row);
            for (JDIMENSION x = 0; x < info->output_width; ++x) {
                const uint8_t* s = scratch + size_t(x) * 4;
                unsigned c = s[0], m = s[1], y = s[2], k = s[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                dst[3 * x + 0] = static_cast<uint8_t>(y * k / 255);
                dst[3 * x + 1] = static_cast<uint8_t>(m * k / 255);
                dst[3 * x + 2] = static_cast<uint8_t>(c * k / 255);
            }
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

struct TCompressOut {
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
};

bool Compress(jpeg_compress_struct* info, TJpegError* error, const TBitmap* bitmap, int quality,
              TCompressOut* out) {
    if (setjmp(error->Jump)) return false;
    jpeg_mem_dest(info, &out->Buffer, &out->Size);
    info->image_width = static_cast<JDIMENSION>(bitmap->Width());
    info->image_height = static_cast<JDIMENSION>(bitmap->Height());
    info->input_components = bitmap->BitsPerPixel() == 32 ? 4 : 3;
    info->in_color_space = bitmap->BitsPerPixel() == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bitmap->ScanLine(static_cast<int>(info->next_scanline)));
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

} // namespace

bool LooksLikeJpeg(const uint8_t* data, size_t size) {
    return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

void DecodeJpeg(const uint8_t* data, size_t size, TBitmap& bitmap, size_t maxImageBytes) {
    if (!LooksLikeJpeg(data, size)) throw ELumatex("Invalid JPEG file: no start-of-image marker");
    jpeg_decompress_struct info;
    TJpegError error;
    InitError(error);
    info.err = &error.Manager;
    jpeg_create_decompress(&info);
    struct TGuard {
        jpeg_decompress_struct* Info;
        ~TGuard() { jpeg_destroy_decompress(Info); }
    } guard{&info};

    if (!ReadHeader(&info, &error, data, size))
        throw ELumatex(std::string("Invalid JPEG file: ") + error.Message);
    const int width = static_cast<int>(info.output_width);
    const int height = static_cast<int>(info.output_height);
    const size_t imageBytes = TBitmap::ImageSize(width, height, 24);
    if (width <= 0 || height <= 0 || imageBytes == 0 || imageBytes > maxImageBytes)
        throw ELumatex(FormatText("Invalid JPEG file: %d x %d pixels is too large", width, height));

    TBitmap result(width, height, 24);
    std::vector<uint8_t> scratch(info.out_color_space == JCS_CMYK ? size_t(width) * 4 : 0);
    if (!ReadPixels(&info, &error, &result, scratch.data()))
        throw ELumatex(std::string("Invalid JPEG file: ") + error.Message);
    if (error.HitEndOfData) throw ELumatex("Invalid JPEG file: data ends before the image does");
    bitmap.Swap(result);
}

std::vector<uint8_t> EncodeJpeg(const TBitmap& bitmap, int quality) {
    if (bitmap.Empty()) throw ELumatex("Cannot encode an empty bitmap as JPEG");
    quality = std::clamp(quality, 1, 100);
    jpeg_compress_struct info;
    TJpegError error;
    InitError(error);
    info.err = &error.Manager;
    jpeg_create_compress(&info);
    TCompressOut out;
    const bool ok = Compress(&info, &error, &bitmap, quality, &out);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes;
    if (ok && out.Buffer) bytes.assign(out.Buffer, out.Buffer + out.Size);
    std::free(out.Buffer);
    if (!ok) throw ELumatex(std::string("JPEG encoding failed: ") + error.Message);
    return bytes;
}

void SaveJpegFile(const TBitmap& bitmap, const std::string& fileName, int quality) {
    const std::vector<uint8_t> bytes = EncodeJpeg(bitmap, quality);
    TFileStream file(fileName, TFileStream::TMode::Create);
    if (file.Write(bytes.data(), bytes.size()) != bytes.size())
        throw ELumatex(FormatText("Write error in \"%s\"", fileName.c_str()));
}
