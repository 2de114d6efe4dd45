// The double-buffered layer tree under random edits, commits and passes: dotted paths over a
// small alphabet (so that paths collide, run through leaves and name missing groups), pending
// edits, removals, and the ordinary and frame passes in between.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/COruLayer.h"

using namespace kestrin;

namespace {

std::string Path(const uint8_t*& p, const uint8_t* end) {
    static const char kAlphabet[] = {'a', 'b', '.', 'c', '.', '\x81'};
    std::string path;
    size_t length = p < end ? (*p++ % 7) : 0;
    while (length-- && p < end) path += kAlphabet[*p++ % sizeof kAlphabet];
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto root = std::make_shared<COruLayer>(nullptr);
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    CMatrix2D matrix;
    while (p < end) {
        const uint8_t op = *p++ % 10;
        const std::string path = Path(p, end);
        switch (op) {
            case 0:
                root->AddChild(path, std::make_shared<COruLayer>(nullptr, std::make_shared<CDisplayObject>()));
                break;
            case 1: root->AddChild(path, std::make_shared<COruLayer>(nullptr)); break;
            case 2: root->AddChild(path, nullptr); break;
            case 3: root->Commit(); break;
            case 4:
                if (auto* node = dynamic_cast<COruLayer*>(root->GetChild(path)))
                    node->SetProperties({{"left", std::to_string(size)}, {"alpha", "128"}, {"clip", "1,2,3,4"}});
                break;
            case 5:
                if (auto* node = root->GetChild(path)) node->SetX(int32_t(p - data));
                break;
            case 6: {
                COruLayer::LayerMap map;
                root->CollectLayersNoPrefix(path, map);
                break;
            }
            case 7:
                root->Update(matrix, 255.0f);
                root->Draw(matrix, 255.0f);
                break;
            case 8:
                root->UpdateFrame(matrix, 255.0f);
                root->DrawFrame(matrix, 255.0f);
                break;
            default:
                (void)root->IsTweening();
                root->SetDraggable(true);
                break;
        }
    }
    return 0;
}
