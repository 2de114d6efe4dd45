#include "GRAPHICS/CJpg.h"

#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "CORE/CFile.h"
#include "CORE/CLogWindow.h"
#include "GRAPHICS/CSurface.h"

namespace kestrin {

namespace {

// libjpeg's memory for one image (coefficient buffers of progressive files included).
constexpr long kMaxDecoderMemory = 768L << 20;
constexpr int kMaxFileBytes = 256 << 20;
// Larger file buffers are given back after each image.
constexpr size_t kKeptFileBytes = 4u << 20;

// The standard error manager whose error exit jumps back to the decode call.
struct SErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<SErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (such as a premature end of data) go to the log instead of stderr alone.
void OnJpegMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    Log(ELogLevel::Warning, "JPEG", "%s", text);
}

void Configure(j_decompress_ptr cinfo) {
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->quantize_colors = FALSE;
    cinfo->dither_mode = JDITHER_NONE;
    cinfo->two_pass_quantize = FALSE;
    cinfo->desired_number_of_colors = 216;
}

// Decoding state that must survive a longjmp: plain data only.
struct SDecodeJob {
    ISurface* surface;
    const uint8_t* bytes;
    unsigned long length;
    const uint8_t* alpha;
    unsigned long alphaLength;
    uint8_t** alphaBuffer;  // the loader's buffer, replaced by a larger one when needed
    size_t* alphaSize;
    int32_t alphaWidth;
    int32_t alphaHeight;
    bool refused;      // a well-formed image of a kind we do not accept
    bool locked;       // the surface is locked: an error must unlock it
    char reason[128];  // why it was refused, for the log
};

// Refuses the job's image, saying why.
bool Refuse(SDecodeJob* job, j_decompress_ptr cinfo, const char* format, ...) __attribute__((format(printf, 3, 4)));
bool Refuse(SDecodeJob* job, j_decompress_ptr cinfo, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(job->reason, sizeof job->reason, format, args);
    va_end(args);
    job->refused = true;
    jpeg_destroy_decompress(cinfo);
    return true;
}

constexpr char kJpegKinds[] = "(only 8-bit colour and grey JPEGs are read)";

// The kinds of JPEG libjpeg itself does not decode: refused rather than broken.
bool DescribeUnsupported(const jpeg_error_mgr& err, char* reason, size_t size) {
    if (err.msg_code == JERR_BAD_PRECISION)
        std::snprintf(reason, size, "JPEG of %d bits a sample %s", err.msg_parm.i[0], kJpegKinds);
    else if (err.msg_code == JERR_SOF_UNSUPPORTED)
        std::snprintf(reason, size, "lossless or hierarchical JPEG %s", kJpegKinds);
    else
        return false;
    return true;
}

const char* ColourSpaceName(J_COLOR_SPACE space) {
    switch (space) {
        case JCS_CMYK: return "CMYK";
        case JCS_YCCK: return "CMYK (YCCK)";
        default: return "";
    }
}

// Every pixel is written again: a surface of the right shape (a movie's next frame) keeps its
// buffer and texture.
bool HasShape(ISurface* surface, int32_t width, int32_t height, int32_t pixelBits) {
    return surface->GetWidth() == width && surface->GetHeight() == height && surface->GetPixelBits() == pixelBits &&
           surface->GetFlags() == 0;
}

// Grows the loader's alpha buffer (new[] / delete[]), keeping it on failure.
bool GrowAlpha(SDecodeJob* job, size_t bytes) {
    if (*job->alphaSize >= bytes) return false;
    uint8_t* grown = new (std::nothrow) uint8_t[bytes];
    if (!grown) return true;
    delete[] * job->alphaBuffer;
    *job->alphaBuffer = grown;
    *job->alphaSize = bytes;
    return false;
}

// Runs libjpeg over the job under setjmp; only trivially destructible objects live in this
// frame, so the jump skips no destructor. True on failure.
bool RunDecode(SDecodeJob* job, SErrorManager* err) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err->base);
    err->base.error_exit = OnJpegError;
    err->base.output_message = OnJpegMessage;
    err->message[0] = 0;
    if (setjmp(err->jump)) {
        job->refused = DescribeUnsupported(err->base, job->reason, sizeof job->reason);
        if (job->locked) {
            job->surface->Unlock();
            job->locked = false;
        }
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;

    if (job->alpha) {
        jpeg_mem_src(&cinfo, job->alpha, job->alphaLength);
        jpeg_read_header(&cinfo, TRUE);
        Configure(&cinfo);
        cinfo.out_color_space = JCS_GRAYSCALE;
        if (cinfo.num_components != 1 ||
            !CSurface::IsValidSize(int32_t(cinfo.image_width), int32_t(cinfo.image_height), 0))
            return Refuse(job, &cinfo, "alpha mask that is not a grey JPEG of at most a surface's size");
        jpeg_start_decompress(&cinfo);
        const size_t width = cinfo.output_width;
        if (cinfo.output_components != 1 || GrowAlpha(job, width * cinfo.output_height))
            return Refuse(job, &cinfo, "no buffer for an alpha mask of %u x %u pixels", unsigned(cinfo.output_width),
                          unsigned(cinfo.output_height));
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = *job->alphaBuffer + size_t(cinfo.output_scanline) * width;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        job->alphaWidth = int32_t(cinfo.output_width);
        job->alphaHeight = int32_t(cinfo.output_height);
        jpeg_finish_decompress(&cinfo);
    }

    jpeg_mem_src(&cinfo, job->bytes, job->length);
    jpeg_read_header(&cinfo, TRUE);
    Configure(&cinfo);
    int32_t pixelBits;
    if (cinfo.num_components == 3) {
        // Blue, green, red and a fourth byte of 0xFF (the masked samplers read it).
        cinfo.out_color_space = JCS_EXT_BGRA;
        pixelBits = job->alpha ? ISurface::kPixel32Alpha : ISurface::kPixel32;
    } else if (cinfo.num_components == 1 && !job->alpha) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        pixelBits = ISurface::kPixel8;
    } else if (cinfo.num_components == 1) {
        return Refuse(job, &cinfo, "grey JPEG with an alpha mask (only colour JPEGs take one)");
    } else {
        const char* space = ColourSpaceName(cinfo.jpeg_color_space);
        if (*space) return Refuse(job, &cinfo, "%s JPEG %s", space, kJpegKinds);
        return Refuse(job, &cinfo, "JPEG of %d components %s", cinfo.num_components, kJpegKinds);
    }
    const int32_t width = int32_t(cinfo.image_width), height = int32_t(cinfo.image_height);
    if (!CSurface::IsValidSize(width, height, pixelBits))
        return Refuse(job, &cinfo, "JPEG of %d x %d pixels (too large for a surface)", width, height);
    // The mask must cover the image: same width, at least the same height.
    if (job->alpha && (job->alphaWidth != width || job->alphaHeight < height))
        return Refuse(job, &cinfo, "alpha mask of %d x %d pixels for an image of %d x %d", job->alphaWidth,
                      job->alphaHeight, width, height);
    jpeg_start_decompress(&cinfo);
    ISurface* surface = job->surface;
    if (int32_t(cinfo.output_width) != width || int32_t(cinfo.output_height) != height ||
        cinfo.output_components != (pixelBits == ISurface::kPixel8 ? 1 : 4) ||
        (!HasShape(surface, width, height, pixelBits) && surface->Init(width, height, pixelBits, 0)))
        return Refuse(job, &cinfo, "no surface of %d x %d pixels could be made", width, height);
    surface->Lock();
    job->locked = true;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int32_t y = int32_t(cinfo.output_scanline);
        JSAMPROW row = surface->GetLine(y);
        if (!row) {
            surface->Unlock();
            job->locked = false;
            jpeg_destroy_decompress(&cinfo);
            return true;
        }
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (job->alpha) {
            const uint8_t* mask = *job->alphaBuffer + size_t(y) * size_t(width);
            for (int32_t x = 0; x < width; ++x) row[4 * x + 3] = mask[x];
        }
    }
    surface->Unlock();
    job->locked = false;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return false;
}

}  // namespace

void CJpg::GetExtensions(std::vector<std::string>& extensions) const { extensions = {"jpg", "jpeg", "JPG", "JPEG"}; }

bool CJpg::Load(ISurface* surface, CFile* file) {
    m_refusal.clear();
    if (!surface || !file) return true;
    // Every attempt reads the file from its beginning, and only the bytes really there.
    if (file->Seek(0, 0) != 0) return true;
    const int size = file->GetSize();
    if (size <= 1) return true;
    uint8_t head[2];
    if (file->Read(head, 2) != 2 || head[0] != 0xFF || head[1] != 0xD8 || file->Seek(0, 0) != 0) return true;
    if (size > kMaxFileBytes) {
        m_refusal = "JPEG file of more than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
        return true;
    }
    if (m_fileSize < size_t(size)) {
        m_fileBuffer.reset(new (std::nothrow) uint8_t[size_t(size)]);
        m_fileSize = m_fileBuffer ? size_t(size) : 0;
        if (!m_fileBuffer) return true;
    }
    const int got = file->Read(m_fileBuffer.get(), unsigned(size));
    const bool failed = got <= 1 || Decode(surface, m_fileBuffer.get(), size_t(got), nullptr, 0);
    if (m_fileSize > kKeptFileBytes) {
        m_fileBuffer.reset();
        m_fileSize = 0;
    }
    return failed;
}

bool CJpg::Decode(ISurface* surface, const uint8_t* bytes, size_t length, const uint8_t* alpha, size_t alphaLength) {
    m_refusal.clear();
    if (!surface || !bytes || length <= 1 || bytes[0] != 0xFF || bytes[1] != 0xD8) return true;
    if (length > size_t(kMaxFileBytes) || (alpha && (alphaLength <= 1 || alphaLength > size_t(kMaxFileBytes))))
        return true;
    uint8_t* buffer = m_alphaBuffer.release();
    SDecodeJob job{surface,
                   bytes,
                   static_cast<unsigned long>(length),
                   alpha,
                   static_cast<unsigned long>(alphaLength),
                   &buffer,
                   &m_alphaSize,
                   0,
                   0,
                   false,
                   false,
                   {0}};
    SErrorManager err;
    const bool failed = RunDecode(&job, &err);
    m_alphaBuffer.reset(buffer);
    if (failed && !job.refused) Log(ELogLevel::Error, "JPEG", "broken image (%s)", err.message);
    if (failed && job.refused) m_refusal = job.reason;
    return failed;
}

}  // namespace kestrin
