#include "imaging/JpegCodec.h"

#include "platform/ELumatex.h"
#include "platform/Stream.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

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

// Phase 1: header only, so the size can be refused before anything big is allocated or read.
bool ReadHeader(jpeg_decompress_struct* info, TJpegError* error) {
    if (setjmp(error->Jump)) return false;
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

// A libjpeg source reading the stream piece by piece, so that a file need not be held whole.
struct TStreamSource {
    jpeg_source_mgr Manager; // first: libjpeg hands its address back
    TStream* Stream;
    char ReadError[JMSG_LENGTH_MAX]; // the stream's own reason when a read failed
    JOCTET Buffer[32 * 1024];
};

extern "C" void InitStreamSource(j_decompress_ptr) {}
extern "C" void TermStreamSource(j_decompress_ptr) {}

extern "C" boolean FillFromStream(j_decompress_ptr info) {
    auto* source = reinterpret_cast<TStreamSource*>(info->src);
    size_t count = 0;
    bool failed = false;
    bool outOfMemory = false;
    try {
        count = source->Stream->Read(source->Buffer, sizeof source->Buffer);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    } catch (const std::exception& e) {
        std::snprintf(source->ReadError, sizeof source->ReadError, "%s", e.what());
        failed = true;
    }
    // Raised once the exception is gone: libjpeg's error exit jumps over this frame.
    if (outOfMemory) ERREXIT(info, JERR_OUT_OF_MEMORY);
    if (failed) ERREXIT(info, JERR_FILE_READ);
    if (count == 0) {
        // As libjpeg's own sources do: an end of image stands in for the missing data, with a warning.
        WARNMS(info, JWRN_JPEG_EOF);
        source->Buffer[0] = 0xFF;
        source->Buffer[1] = JPEG_EOI;
        count = 2;
    }
    source->Manager.next_input_byte = source->Buffer;
    source->Manager.bytes_in_buffer = count;
    return TRUE;
}

extern "C" void SkipInStream(j_decompress_ptr info, long count) {
    jpeg_source_mgr* source = info->src;
    if (count <= 0) return;
    while (static_cast<size_t>(count) > source->bytes_in_buffer) {
        count -= static_cast<long>(source->bytes_in_buffer);
        FillFromStream(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

// The decompressor with its error handler, created and destroyed with the object.
struct TDecompressor {
    jpeg_decompress_struct Info;
    TJpegError Error;
    TDecompressor() {
        InitError(Error);
        Info.err = &Error.Manager;
        jpeg_create_decompress(&Info);
    }
    ~TDecompressor() { jpeg_destroy_decompress(&Info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    // Header, size check, pixels; the source is set. readError: the source's own reason for a failed read.
    void Decode(TBitmap& bitmap, size_t maxImageBytes, const char* readError) {
        const auto fail = [&] {
            // libjpeg's own allocations fail as one of its errors: still out of memory, not a bad file.
            if (Error.Manager.msg_code == JERR_OUT_OF_MEMORY) throw std::bad_alloc();
            if (readError && readError[0]) throw ELumatex(readError);
            throw ELumatex(std::string("Invalid JPEG file: ") + Error.Message);
        };
        if (!ReadHeader(&Info, &Error)) fail();
        const int width = static_cast<int>(Info.output_width);
        const int height = static_cast<int>(Info.output_height);
        if (!TBitmap::PictureSizeAccepted(Info.output_width, Info.output_height, 24, maxImageBytes))
            throw ELumatex(
                TBitmap::PictureTooLargeText("Invalid JPEG file", Info.output_width, Info.output_height));

        TBitmap result(width, height, 24);
        std::vector<uint8_t> scratch(Info.out_color_space == JCS_CMYK ? size_t(width) * 4 : 0);
        if (!ReadPixels(&Info, &Error, &result, scratch.data())) fail();
        if (Error.HitEndOfData) throw ELumatex("Invalid JPEG file: data ends before the image does");
        bitmap.Swap(result);
    }
};

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

// A libjpeg destination writing into the stream piece by piece. A stream error is kept and raised again once
// libjpeg's error exit has left its frames.
struct TStreamDestination {
    jpeg_destination_mgr Manager; // first: libjpeg hands its address back
    TStream* Stream;
    std::exception_ptr WriteError;
    JOCTET Buffer[64 * 1024];
};

extern "C" void InitStreamDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    destination->Manager.next_output_byte = destination->Buffer;
    destination->Manager.free_in_buffer = sizeof destination->Buffer;
}

bool WriteToStream(j_compress_ptr info, size_t count) {
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    try {
        if (destination->Stream->Write(destination->Buffer, count) == count) return true;
    } catch (...) {
        destination->WriteError = std::current_exception();
    }
    return false;
}

extern "C" boolean EmptyToStream(j_compress_ptr info) {
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    // Raised once the exception is gone: libjpeg's error exit jumps over this frame.
    if (!WriteToStream(info, sizeof destination->Buffer)) ERREXIT(info, JERR_FILE_WRITE);
    destination->Manager.next_output_byte = destination->Buffer;
    destination->Manager.free_in_buffer = sizeof destination->Buffer;
    return TRUE;
}

extern "C" void TermToStream(j_compress_ptr info) {
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    const size_t count = sizeof destination->Buffer - destination->Manager.free_in_buffer;
    if (count > 0 && !WriteToStream(info, count)) ERREXIT(info, JERR_FILE_WRITE);
}

// The same settings as Compress, with rows to come. libjpeg's creation clears the destination, so it is set
// afterwards.
bool StartRows(jpeg_compress_struct* info, TJpegError* error, jpeg_destination_mgr* destination, int width,
               int height, int bitsPerPixel, int quality) {
    if (setjmp(error->Jump)) return false;
    jpeg_create_compress(info);
    info->dest = destination;
    info->image_width = static_cast<JDIMENSION>(width);
    info->image_height = static_cast<JDIMENSION>(height);
    info->input_components = bitsPerPixel == 32 ? 4 : 3;
    info->in_color_space = bitsPerPixel == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    jpeg_start_compress(info, TRUE);
    return true;
}

bool WriteOneRow(jpeg_compress_struct* info, TJpegError* error, const uint8_t* pixels) {
    if (setjmp(error->Jump)) return false;
    JSAMPROW row = const_cast<JSAMPROW>(pixels);
    jpeg_write_scanlines(info, &row, 1);
    return true;
}

bool FinishRows(jpeg_compress_struct* info, TJpegError* error) {
    if (setjmp(error->Jump)) return false;
    jpeg_finish_compress(info);
    return true;
}

} // namespace

struct TJpegRowEncoder::TState {
    jpeg_compress_struct Info;
    TJpegError Error;
    TStreamDestination Destination;
    bool Failed = false;

    TState() { std::memset(&Info, 0, sizeof Info); }
    ~TState() { jpeg_destroy_compress(&Info); }

    [[noreturn]] void Fail() {
        Failed = true;
        if (Destination.WriteError) std::rethrow_exception(Destination.WriteError);
        if (Error.Manager.msg_code == JERR_OUT_OF_MEMORY) throw std::bad_alloc();
        throw ELumatex(std::string("JPEG encoding failed: ") + Error.Message);
    }
};

TJpegRowEncoder::TJpegRowEncoder(TStream& stream, int width, int height, int bitsPerPixel, int quality)
    : State(std::make_unique<TState>()) {
    if (width <= 0 || height <= 0) throw ELumatex("Cannot encode an empty bitmap as JPEG");
    TState& s = *State;
    InitError(s.Error);
    s.Info.err = &s.Error.Manager;
    s.Destination.Stream = &stream;
    s.Destination.Manager.init_destination = InitStreamDestination;
    s.Destination.Manager.empty_output_buffer = EmptyToStream;
    s.Destination.Manager.term_destination = TermToStream;
    if (!StartRows(&s.Info, &s.Error, &s.Destination.Manager, width, height, bitsPerPixel,
                   std::clamp(quality, 1, 100)))
        s.Fail();
}

TJpegRowEncoder::~TJpegRowEncoder() = default;

void TJpegRowEncoder::WriteRow(const uint8_t* pixels) {
    TState& s = *State;
    if (s.Failed) throw ELumatex("JPEG encoding failed: the encoder stopped at an earlier error");
    if (!WriteOneRow(&s.Info, &s.Error, pixels)) s.Fail();
}

void TJpegRowEncoder::Finish() {
    TState& s = *State;
    if (s.Failed) throw ELumatex("JPEG encoding failed: the encoder stopped at an earlier error");
    if (!FinishRows(&s.Info, &s.Error)) s.Fail();
}

bool LooksLikeJpeg(const uint8_t* data, size_t size) {
    return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

void DecodeJpeg(const uint8_t* data, size_t size, TBitmap& bitmap, size_t maxImageBytes) {
    if (!LooksLikeJpeg(data, size)) throw ELumatex("Invalid JPEG file: no start-of-image marker");
    TDecompressor decompressor;
    jpeg_mem_src(&decompressor.Info, data, static_cast<unsigned long>(size));
    decompressor.Decode(bitmap, maxImageBytes, nullptr);
}

void DecodeJpeg(TStream& stream, TBitmap& bitmap, size_t maxImageBytes) {
    TDecompressor decompressor;
    auto source = std::make_unique<TStreamSource>();
    source->Manager.init_source = InitStreamSource;
    source->Manager.fill_input_buffer = FillFromStream;
    source->Manager.skip_input_data = SkipInStream;
    source->Manager.resync_to_restart = jpeg_resync_to_restart;
    source->Manager.term_source = TermStreamSource;
    source->Manager.next_input_byte = nullptr;
    source->Manager.bytes_in_buffer = 0;
    source->Stream = &stream;
    source->ReadError[0] = 0;
    decompressor.Info.src = &source->Manager;
    decompressor.Decode(bitmap, maxImageBytes, source->ReadError);
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
    if (!ok && error.Manager.msg_code == JERR_OUT_OF_MEMORY) throw std::bad_alloc();
    if (!ok) throw ELumatex(std::string("JPEG encoding failed: ") + error.Message);
    return bytes;
}

void SaveJpegFile(const TBitmap& bitmap, const std::string& fileName, int quality) {
    const std::vector<uint8_t> bytes = EncodeJpeg(bitmap, quality);
    TFileStream file(fileName, TFileStream::TMode::Create);
    if (file.Write(bytes.data(), bytes.size()) != bytes.size())
        throw ELumatex(FormatText("Write error in \"%s\"", fileName.c_str()));
}
