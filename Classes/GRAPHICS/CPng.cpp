#include "GRAPHICS/CPng.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "CORE/CFile.h"
#include "CORE/CLogWindow.h"
#include "GRAPHICS/CSurface.h"

namespace kestrin {

// Where the decoder's bytes come from: an engine file or a block of memory.
struct CPng::SSource {
    CFile* file = nullptr;
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    size_t position = 0;

    // Exactly n bytes, or false.
    bool Read(void* out, size_t n) {
        if (file) {
            if (n > 0x7fffffffu) return false;
            const int got = file->Read(out, static_cast<unsigned>(n));
            return got >= 0 && static_cast<size_t>(got) == n;
        }
        if (n > length - position) return false;
        std::memcpy(out, bytes + position, n);
        position += n;
        return true;
    }
    // True on failure.
    bool Rewind() {
        if (file) return file->Seek(0, 0) != 0;
        position = 0;
        return false;
    }
    std::string Name() const { return file ? file->GetName() : std::string("(memory)"); }
};

namespace {

constexpr png_uint_32 kMaxChunkBytes = 8u << 20;  // ancillary chunks (texts, profiles)

// libpng's error message, kept for the log.
struct SErrorState {
    char message[160] = {0};
};

void OnPngError(png_structp png, png_const_charp message) {
    if (auto* state = static_cast<SErrorState*>(png_get_error_ptr(png)))
        std::snprintf(state->message, sizeof state->message, "%s", message ? message : "");
    png_longjmp(png, 1);
}

// libpng only warns about a chunk longer than the chunk limit and then reads it anyway
// (a text chunk declaring 2 GiB is allocated whole): that warning is an error here.
// Other warnings (such as a known bad colour profile) leave the image readable.
void OnPngWarning(png_structp png, png_const_charp message) {
    if (message && std::strstr(message, "chunk data is too large")) OnPngError(png, message);
}

// What a PNG the decoder does not read is, for the log.
std::string DescribeUnread(int bitDepth, int colorType) {
    const char* kind = colorType == PNG_COLOR_TYPE_GRAY         ? "grey"
                       : colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? "grey-and-alpha"
                       : colorType == PNG_COLOR_TYPE_RGB        ? "RGB"
                                                                : "RGBA";
    char text[160];
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        std::snprintf(text, sizeof text, "PNG with a colour palette");
    else if (bitDepth == 8)
        std::snprintf(text, sizeof text, "%s PNG", kind);
    else
        std::snprintf(text, sizeof text, "%s PNG of %d bit%s a channel", kind, bitDepth, bitDepth == 1 ? "" : "s");
    return std::string(text) + " (only 8-bit grey, RGB and RGBA PNGs are read)";
}

// The libpng calls that may fail, each under its own setjmp with only trivial locals.
bool ReadInfo(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return true;
    png_read_info(png, info);
    return false;
}

bool PrepareRows(png_structp png, png_infop info, int colorType) {
    if (setjmp(png_jmpbuf(png))) return true;
    png_set_bgr(png);
    if (colorType == PNG_COLOR_TYPE_RGB) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return false;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return true;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return false;
}

// Frees the read structures on every way out.
struct SReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~SReadStructs() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

}  // namespace

// Called by libpng for every read; a short read is an error, so libpng never works on
// bytes that are not in the file.
static void ReadFromSource(png_structp png, png_bytep data, size_t length) {
    auto* source = static_cast<CPng::SSource*>(png_get_io_ptr(png));
    if (!source->Read(data, length)) png_error(png, "unexpected end of file");
}

void CPng::GetExtensions(std::vector<std::string>& extensions) const { extensions = {"png", "PNG"}; }

bool CPng::Load(ISurface* surface, CFile* file) {
    if (!file) return true;
    SSource source;
    source.file = file;
    return Decode(surface, source);
}

bool CPng::LoadFromMemory(ISurface* surface, const uint8_t* bytes, size_t length) {
    if (!bytes) return true;
    SSource source;
    source.bytes = bytes;
    source.length = length;
    return Decode(surface, source);
}

bool CPng::Decode(ISurface* surface, SSource& source) {
    m_refusal.clear();
    // Every attempt reads the file from its beginning, whatever an earlier loader read.
    uint8_t head[16];
    if (source.Rewind() || !source.Read(head, sizeof head)) return true;
    if (png_sig_cmp(head, 0, 4) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return true;
    if (source.Rewind()) return true;

    SErrorState error;
    SReadStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    if (!s.png) return true;
    s.info = png_create_info_struct(s.png);
    if (!s.info) return true;
    png_set_read_fn(s.png, &source, ReadFromSource);
    // Refuse absurd sizes before libpng or we allocate anything for them.
    png_set_user_limits(s.png, CSurface::kMaxDimension, CSurface::kMaxDimension);
    png_set_chunk_malloc_max(s.png, kMaxChunkBytes);
    png_set_chunk_cache_max(s.png, 1000);

    const std::string name = source.Name();
    if (ReadInfo(s.png, s.info)) {
        Log(ELogLevel::Error, name.c_str(), "broken PNG image (%s)", error.message);
        return true;
    }
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(s.png, s.info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);

    m_texts.clear();
    png_textp texts = nullptr;
    int textCount = 0;
    png_get_text(s.png, s.info, &texts, &textCount);
    for (int i = 0; i < textCount; ++i) {
        if (!texts[i].key) continue;
        // International text (iTXt) gives its length in itxt_length, text_length is 0.
        const bool international = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE;
        const size_t length = international ? texts[i].itxt_length : texts[i].text_length;
        m_texts[texts[i].key] = texts[i].text ? std::string(texts[i].text, length) : std::string();
    }
    if (!surface) return false;

    int32_t pixelBits;
    if (bitDepth == 8 && colorType == PNG_COLOR_TYPE_GRAY)
        pixelBits = ISurface::kPixel8;
    else if (bitDepth == 8 && colorType == PNG_COLOR_TYPE_RGB)
        pixelBits = ISurface::kPixel32;
    else if (bitDepth == 8 && colorType == PNG_COLOR_TYPE_RGB_ALPHA)
        pixelBits = ISurface::kPixel32Alpha;
    else {
        // Palette, grey with alpha, 1, 2, 4 or 16 bits: not read.
        m_refusal = DescribeUnread(bitDepth, colorType);
        return true;
    }
    char size[96];
    if (!CSurface::IsValidSize(int32_t(width), int32_t(height), pixelBits)) {
        std::snprintf(size, sizeof size, "PNG of %u x %u pixels (too large for a surface)", unsigned(width),
                      unsigned(height));
        m_refusal = size;
        return true;
    }
    if (surface->Init(int32_t(width), int32_t(height), pixelBits, 0)) {
        std::snprintf(size, sizeof size, "no surface of %u x %u pixels could be made", unsigned(width),
                      unsigned(height));
        m_refusal = size;
        return true;
    }
    if (PrepareRows(s.png, s.info, colorType)) {
        Log(ELogLevel::Error, name.c_str(), "broken PNG image (%s)", error.message);
        return true;
    }
    if (png_get_rowbytes(s.png, s.info) != size_t(width) * size_t(surface->GetBytesPerPixel())) return true;

    surface->Lock();
    std::vector<png_bytep> rows(height);
    bool failed = false;
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = surface->GetLine(int32_t(y));
        failed |= rows[y] == nullptr;
    }
    if (!failed && ReadRows(s.png, rows.data())) {
        Log(ELogLevel::Error, name.c_str(), "broken PNG image (%s)", error.message);
        failed = true;
    }
    surface->Unlock();
    return failed;
}

namespace {

// Appends to the output buffer, doubling its capacity as needed; with no data only counts.
void WriteToBuffer(png_structp png, png_bytep data, size_t n) {
    auto* buffer = static_cast<CPng::SOutputBuffer*>(png_get_io_ptr(png));
    if (n > 0xffffffffu - buffer->length) png_error(png, "output too large");
    if (!buffer->data) {
        buffer->length += uint32_t(n);
        return;
    }
    if (buffer->capacity - buffer->length < n) {
        uint64_t capacity = buffer->capacity ? buffer->capacity : 1;
        while (capacity - buffer->length < n) capacity *= 2;
        if (capacity > 0xffffffffu) png_error(png, "output too large");
        uint8_t* grown = new (std::nothrow) uint8_t[size_t(capacity)];
        if (!grown) png_error(png, "out of memory");
        std::memcpy(grown, buffer->data, buffer->length);
        delete[] buffer->data;
        buffer->data = grown;
        buffer->capacity = uint32_t(capacity);
    }
    std::memcpy(buffer->data + buffer->length, data, n);
    buffer->length += uint32_t(n);
}

void FlushNothing(png_structp) {}

bool WriteAll(png_structp png, png_infop info, ISurface* surface, int level, png_textp texts, int textCount,
              png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return true;
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, level);
    png_set_bgr(png);
    const int32_t bits = surface->GetPixelBits();
    const int colorType = bits == 0 ? PNG_COLOR_TYPE_GRAY : bits == 1 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(png, info, png_uint_32(surface->GetWidth()), png_uint_32(surface->GetHeight()), 8, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (textCount > 0) png_set_text(png, info, texts, textCount);
    png_write_info(png, info);
    if (bits == 1) png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows);
    png_write_end(png, info);
    return false;
}

}  // namespace

bool CPng::SaveWithText(ISurface* surface, SOutputBuffer& buffer, int level,
                        const std::map<std::string, std::string>& texts) {
    buffer.length = 0;
    if (!surface || surface->GetWidth() <= 0 || surface->GetHeight() <= 0 || surface->GetPixelBits() < 0 ||
        surface->GetPixelBits() > 2)
        return true;
    SErrorState error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    if (!png) return true;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return true;
    }
    png_set_write_fn(png, &buffer, WriteToBuffer, FlushNothing);

    // Keys and texts stay alive in these strings while libpng copies them.
    std::vector<std::string> keys, values;
    std::vector<png_text> chunks;
    keys.reserve(texts.size());
    values.reserve(texts.size());
    for (const auto& entry : texts) {
        keys.push_back(entry.first);
        values.push_back(entry.second);
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        png_text t;
        std::memset(&t, 0, sizeof t);
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = &keys[i][0];
        t.text = &values[i][0];
        t.text_length = values[i].size();
        chunks.push_back(t);
    }

    surface->Lock();
    std::vector<png_bytep> rows(size_t(surface->GetHeight()));
    bool failed = false;
    for (int32_t y = 0; y < surface->GetHeight(); ++y) {
        rows[size_t(y)] = surface->GetLine(y);
        failed |= rows[size_t(y)] == nullptr;
    }
    if (!failed) failed = WriteAll(png, info, surface, level, chunks.data(), int(chunks.size()), rows.data());
    surface->Unlock();
    png_destroy_write_struct(&png, &info);
    if (failed) Log(ELogLevel::Error, "PNG", "encoding failed (%s)", error.message);
    return failed;
}

bool CPng::Save(ISurface* surface, SOutputBuffer& buffer, int level) {
    return SaveWithText(surface, buffer, level, {});
}

}  // namespace kestrin
