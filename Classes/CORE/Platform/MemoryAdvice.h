#pragma once
// Hints to the system about large blocks of memory.
#include <cstddef>

namespace kestrin {

// Asks for huge pages behind the whole 2 MB pages of a block about to be filled at once (a
// large body received over the network, the blocks of a big script): one page fault a 2 MB
// page instead of 512. Only a hint; nothing happens where the system has no such pages.
void AdviseHugePages(void* block, size_t size);

}  // namespace kestrin
