#include "GRAPHICS/CPictureChanges.h"

namespace kestrin {

std::atomic<uint64_t> CPictureChanges::s_count{0};

}  // namespace kestrin
