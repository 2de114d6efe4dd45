
#include "GRAPHICS/Platform/IRenderDevice.h"
#include "GRAPHICS/Platform/SdlRenderDevice.h"

namespace kestrin {

namespace {

RenderDeviceMaker& Maker() {
    static RenderDeviceMaker maker;
    return maker;
}

}  // namespace

void SetRenderDeviceMaker(RenderDeviceMaker maker) { Maker() = std::move(maker); }

std::shared_ptr<IRenderDevice> CreateRenderDevice() {
    if (Maker()) return Maker()();
    return std::make_shared<SdlRenderDevice>();
}

}  // namespace kestrin
