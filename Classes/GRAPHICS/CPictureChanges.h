#pragma once
// A process-wide count of changes to what the screen shows. Display objects, surfaces and the
// layer tree bump it whenever something drawn changes (a property, pixels, the tree, a frame that
// time brings), so the screen can leave out the redraw and the present while it stands still.
// A new kind of display object only has to call Mark when its picture changes.
#include <atomic>
#include <cstdint>

namespace kestrin {

class CPictureChanges {
public:
    static void Mark() { s_count.fetch_add(1, std::memory_order_relaxed); }
    static uint64_t Get() { return s_count.load(std::memory_order_relaxed); }

private:
    static std::atomic<uint64_t> s_count;
};

}  // namespace kestrin
