#include "Platform/Graphics/JPEGDecoder.h"

// jpeglib.h needs size_t and FILE first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Platform/Foundation/Bytes.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Graphics/PixelFormat.h"

namespace plat {

namespace {

constexpr long kMaxLibjpegMemory = 1L << 30;

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

struct ProgressManager {
    jpeg_progress_mgr pub;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (corrupt or missing data) end the decode too: a half-grey picture is not an image.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

void Progress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > JPEGDecoder::kMaxScans) ErrorExit(cinfo);
}

uint8_t Mul255(uint32_t a, uint32_t b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

// One CMYK row to B, G, R, A. Adobe writes the components inverted.
void CMYKRow(const uint8_t* in, uint8_t* out, uint32_t width, bool inverted) {
    for (uint32_t x = 0; x < width; ++x, in += 4, out += 4) {
        uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = Mul255(y, k);
        out[1] = Mul255(m, k);
        out[2] = Mul255(c, k);
        out[3] = 255;
    }
}

// Everything freed after a longjmp lives here, outside the frame that called setjmp.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    ProgressManager progress;
    uint8_t* pixels = nullptr;
    uint8_t* cmykRow = nullptr;
    size_t bytesPerRow = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t orientation = 1;
};

bool RunDecode(DecodeState& s, const uint8_t* data, size_t size, bool headerOnly) {
    if (setjmp(s.error.jump)) return false;
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kMaxLibjpegMemory;
    s.progress.pub.progress_monitor = Progress;
    s.cinfo.progress = &s.progress.pub;
    jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK) return false;
    for (jpeg_saved_marker_ptr m = s.cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            s.orientation = JPEGDecoder::ExifOrientation(m->data, m->data_length);
            break;
        }
    }
    if (headerOnly) return true;
    uint64_t w = s.cinfo.image_width, h = s.cinfo.image_height;
    if (w == 0 || h == 0 || w > PNGDecoder::kMaxSide || h > PNGDecoder::kMaxSide ||
        w * h > PNGDecoder::kMaxPixels)
        return false;
    bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    s.width = static_cast<int32_t>(w);
    s.height = static_cast<int32_t>(h);
    s.bytesPerRow = PaddedBytesPerRow(PixelFormat::kARGB32, s.width);
    s.pixels = static_cast<uint8_t*>(std::malloc(s.bytesPerRow * static_cast<size_t>(h)));
    if (!s.pixels) return false;
    if (cmyk && !(s.cmykRow = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(w) * 4)))) return false;
    if (!jpeg_start_decompress(&s.cinfo)) return false;
    if (s.cinfo.output_width != w || s.cinfo.output_height != h || s.cinfo.output_components != 4)
        return false;
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        uint8_t* row = s.pixels + s.cinfo.output_scanline * s.bytesPerRow;
        JSAMPROW target = cmyk ? s.cmykRow : row;
        if (jpeg_read_scanlines(&s.cinfo, &target, 1) != 1) return false;
        if (cmyk) CMYKRow(s.cmykRow, row, static_cast<uint32_t>(w), s.cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

void InitState(DecodeState& s) {
    std::memset(&s.cinfo, 0, sizeof s.cinfo);
    std::memset(&s.progress, 0, sizeof s.progress);
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = ErrorExit;
    s.error.pub.emit_message = EmitMessage;
    s.error.pub.output_message = OutputMessage;
}

}  // namespace

bool JPEGDecoder::HasSignature(const uint8_t* data, size_t size) {
    return data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

Ref<BitmapImage> JPEGDecoder::Decode(const uint8_t* data, size_t size) {
    if (!HasSignature(data, size)) return nullptr;
    DecodeState s;
    InitState(s);
    bool ok = RunDecode(s, data, size, false);
    jpeg_destroy_decompress(&s.cinfo);
    std::free(s.cmykRow);
    if (!ok) {
        std::free(s.pixels);
        return nullptr;
    }
    return BitmapImage::CreateOwning(s.width, s.height, PixelFormat::kARGB32, s.pixels, s.bytesPerRow);
}

int32_t JPEGDecoder::Orientation(const uint8_t* data, size_t size) {
    if (!HasSignature(data, size)) return 1;
    DecodeState s;
    InitState(s);
    bool ok = RunDecode(s, data, size, true);
    jpeg_destroy_decompress(&s.cinfo);
    return ok ? s.orientation : 1;
}

int32_t JPEGDecoder::ExifOrientation(const uint8_t* p, size_t size) {
    // "Exif\0\0", then a TIFF header: byte order, 42, offset of IFD0 (from the header's start).
    if (!p || size < 6 + 8 || std::memcmp(p, "Exif\0\0", 6) != 0) return 1;
    const uint8_t* tiff = p + 6;
    size_t n = size - 6;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        little = false;
    else
        return 1;
    auto u16 = [&](size_t at) { return little ? LoadLE16(tiff + at) : LoadBE16(tiff + at); };
    auto u32 = [&](size_t at) { return little ? LoadLE32(tiff + at) : LoadBE32(tiff + at); };
    if (u16(2) != 42) return 1;
    uint64_t ifd = u32(4);
    if (ifd < 8 || ifd + 2 > n) return 1;
    uint32_t count = u16(static_cast<size_t>(ifd));
    uint64_t entries = ifd + 2;
    if (entries + uint64_t{count} * 12 > n) return 1;
    for (uint32_t i = 0; i < count; ++i) {
        auto e = static_cast<size_t>(entries + uint64_t{i} * 12);
        if (u16(e) != 0x0112) continue;
        // SHORT, one value, stored in the first two bytes of the value field.
        if (u16(e + 2) != 3 || u32(e + 4) != 1) return 1;
        uint16_t v = u16(e + 8);
        return v >= 1 && v <= 8 ? v : 1;
    }
    return 1;
}

}  // namespace plat
