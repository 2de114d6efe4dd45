// Message text layout over arbitrary block sequences in the three encodings: every call
// returns, and the characters placed plus the rest handed back make up the text added
// (less a multibyte character cut short at its end).
// Input: one byte of settings (encoding, hanging, alignment, area), then commands, each
// one byte (operation) + one byte (length) + that many bytes of text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CLinkableTextRenderer.h"

using namespace kestrin;

namespace {

// Characters AddText would cut from text, stopping at a character cut short.
int32_t CountChars(const char* text, const char* end, int32_t charset) {
    int32_t n = 0;
    for (const char* p = text; p < end && *p;) {
        const size_t len = CTextRenderer::CharLength(p, charset);
        if (!len) break;
        p += len;
        ++n;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static PlatformServicesScope scope([] {
        SPlatformServices services = PlatformServicesInEffect();
        services.textRasterizer = []() { return std::make_unique<HeadlessTextRasterizer>(std::set<std::string>{"F"}); };
        return services;
    }());
    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders(&files);
    CLayerFactory layers(std::make_shared<CGdiRenderer>());
    auto font = std::make_shared<CFontRenderer>(&surfaces, &loaders, &files);
    const uint8_t settings = data[0];
    const int32_t charset = (settings & 3) % 3;
    {
        CLinkableTextRenderer r(font, &layers, &surfaces);
        r.SetCharset(charset);
        CTextRenderer::CProperty& p = r.GetProperty();
        p.face = p.rubyFace = "F";
        p.hung = settings & 4;
        p.align = (settings >> 3) & 3;
        p.width = 24 * (1 + ((settings >> 5) & 7));
        p.height = 3 * 32;
        int32_t clock = 1;
        for (size_t i = 1; i + 2 <= size;) {
            const uint8_t op = data[i];
            size_t len = data[i + 1];
            i += 2;
            if (len > size - i) len = size - i;
            const std::string text(reinterpret_cast<const char*>(data + i), len);
            i += len;
            const int32_t before = r.GetCharCount();
            switch (op % 8) {
                case 0: {
                    const char* rest = nullptr;
                    const int32_t result = r.AddText(text.c_str(), &rest);
                    const char* end = text.c_str() + std::char_traits<char>::length(text.c_str());
                    if (result < 0) {
                        if (!rest || rest < text.c_str() || rest >= end) __builtin_trap();
                        if (r.GetCharCount() - before != CountChars(text.c_str(), rest, charset)) __builtin_trap();
                    } else if (result != r.GetCharCount() ||
                               result - before != CountChars(text.c_str(), end, charset)) {
                        __builtin_trap();
                    }
                    if (result == CTextRenderer::kPageFull) r.Clear();
                    break;
                }
                case 1: {
                    const size_t cut = text.find('\x01');
                    const std::string base = text.substr(0, cut);
                    const std::string ruby = cut == std::string::npos ? std::string() : text.substr(cut + 1);
                    const int32_t result = r.AddChars(base.c_str(), ruby.c_str());
                    if (result < 0 && r.GetCharCount() != before) __builtin_trap();
                    break;
                }
                case 2: r.NewLine(); break;
                case 3: r.Clear(); break;
                case 4: {
                    CTextRenderer::CTweenInfo t;
                    t.param = len % 7;
                    t.entire = len & 8;
                    t.diff = -100;
                    t.msec = 50;
                    t.delay = len % 5 ? 10 : 0;
                    t.randomDelay = len & 16;
                    t.leave = len & 32;
                    if (len & 64)
                        r.ClearWithTweens({t});
                    else
                        r.StartTweens({t}, len & 1);
                    break;
                }
                case 5: r.BeginLink([&r] { r.Clear(); }); break;
                case 6: r.EndLink(); break;
                case 7:
                    r.SetGlyph(len & 1 ? nullptr : std::make_shared<CDisplayObject>());
                    r.Update(CMatrix2D(), 1.0f);
                    UpdateTweens(uint32_t(clock += 20));
                    break;
            }
        }
    }
    ClearTweenRegistry();
    return 0;
}
