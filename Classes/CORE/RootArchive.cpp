#include "CORE/RootArchive.h"

namespace kestrin {

std::string g_rootArchivePath = "root.pfs";

}  // namespace kestrin
