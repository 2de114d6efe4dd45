#include "GRAPHICS/Platform/IFramePresenter.h"
#include "GRAPHICS/Platform/SdlFramePresenter.h"

namespace kestrin {

namespace {

FramePresenterMaker& Maker() {
    static FramePresenterMaker maker;
    return maker;
}

}  // namespace

void SetFramePresenterMaker(FramePresenterMaker maker) { Maker() = std::move(maker); }

std::shared_ptr<IFramePresenter> CreateFramePresenter() {
    if (Maker()) return Maker()();
    return std::make_shared<SdlFramePresenter>();
}

}  // namespace kestrin
