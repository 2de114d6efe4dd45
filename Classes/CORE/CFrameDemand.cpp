#include "CORE/CFrameDemand.h"

namespace kestrin {

uint32_t CFrameDemand::s_within = 0;  // the first frame runs on time

}  // namespace kestrin
