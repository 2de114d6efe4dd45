// Rendered ".rft" fonts over arbitrary bytes: the glyph index, the "rft3" header and the
// window reads, then the glyph renderer over the same file (decode, effects, atlas).
// Input: one byte selecting the code and effects, then the font file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CRenderedFontFile.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    HeadlessFileSystem fs;
    fs.AddFile("f_16.rft", std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(fs);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    ClearGamePathCache();
    CRenderedFontFile::ForgetCharsets();

    CFileFactory files;
    const uint16_t codes[] = {0, 0x20, 0x41, 0x8140, 0x82A0, 0x3042, 0xFFFF, 0xF9FC};
    const uint16_t code = codes[choice & 7];
    CRenderedFontFile file(&files);
    if (!file.OpenGlyph("f_16", code)) {
        char buffer[64];
        while (file.Read(buffer, sizeof buffer) > 0) {
        }
        file.Seek(-3, 2);
        file.Seek(-100, 1);
        file.Seek(2, 1);
        file.Read(buffer, 5);
        file.Tell();
    }

    CSurfaceFactory surfaces;
    CGraphicLoaders loaders(&files);
    loaders.AddLoader(new CPng());
    CFontRenderer::ResetCaches();
    CFontRenderer renderer(&surfaces, &loaders, &files);
    if (!renderer.OpenFont(true, "f", 128, 16, false, false, choice & 0x08, choice & 0x10)) {
        renderer.SetShadow(choice & 0x20);
        renderer.SetOutline(choice & 0x40);
        renderer.GetGlyph(code, 0x123456, 0x654321, 0xABCDEF);
        renderer.GetGlyph(0x41, 0xFFFFFF, 0, 0);
    }
    CFontRenderer::ResetCaches();
    scope.reset();
    return 0;
}
