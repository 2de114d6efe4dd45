#pragma once
// The text of a message layer, as the screen keeps it: the screen creates message layers through
// the factory the text area hands in, stores them and hands them back, and knows nothing more of
// them. The text area implements it (CLinkableTextRenderer, whose Of gives the renderer back).

namespace kestrin {

class IMessageLayer {
public:
    virtual ~IMessageLayer() = default;
};

}  // namespace kestrin
