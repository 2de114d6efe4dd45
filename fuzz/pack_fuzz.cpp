// The archive loader over arbitrary bytes, followed by random Open/Seek/Read/Tell
// sequences on its entries. Input: two little-endian 16-bit lengths, that many bytes of
// archive "a.pfs", that many of its volume "a.pfs.001", then the operations.
// Files live in the in-memory file system, so no disk is touched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CPackFile.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"

using namespace kestrin;

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const size_t archiveLength = std::min<size_t>(data[0] | (data[1] << 8), size - 4);
    const size_t volumeLength = std::min<size_t>(data[2] | (data[3] << 8), size - 4 - archiveLength);
    const char* bytes = reinterpret_cast<const char*>(data + 4);
    HeadlessFileSystem fs;
    fs.AddFile("a.pfs", std::string(bytes, archiveLength));
    if (volumeLength > 0) fs.AddFile("a.pfs.001", std::string(bytes + archiveLength, volumeLength));
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(fs);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    ClearGamePathCache();
    CPackFile::ClearArchives();

    CPackFile file;
    file.LoadArchive("a.pfs");
    std::vector<std::string> names;
    file.GetFileList("a.pfs", names);

    const uint8_t* op = data + 4 + archiveLength + volumeLength;
    const uint8_t* end = data + size;
    char buffer[512];
    while (op < end) {
        const uint8_t code = *op++;
        int32_t arg = 0;
        for (int i = 0; i < 4 && op < end; ++i) arg |= static_cast<int32_t>(*op++) << (8 * i);
        switch (code % 5) {
            case 0:
                if (!names.empty()) file.Open(("a\\" + names[static_cast<uint32_t>(arg) % names.size()]).c_str());
                break;
            case 1: file.Seek(arg, (code >> 3) % 4); break;
            case 2: {
                const int size = file.GetSize();
                const int before = file.Tell();
                const unsigned want = static_cast<unsigned>(arg) % sizeof buffer;
                const int n = file.Read(buffer, want);
                Check(n >= 0 && static_cast<unsigned>(n) <= want);
                // Nothing outside the entry: no bytes without a valid position, none past the end.
                if (before < 0) Check(n == 0);
                if (n > 0) Check(before >= 0 && before + n <= size && file.Tell() == before + n);
                break;
            }
            case 3: {
                const int t = file.Tell();
                Check(t >= -1 && (!file.IsOpen() ? t == -1 : t <= file.GetSize()));
                break;
            }
            case 4: {
                CFile* clone = file.Clone(true);
                clone->Read(buffer, sizeof buffer);
                delete clone;
                break;
            }
        }
    }
    file.Close();
    CPackFile::ClearArchives();
    ClearGamePathCache();
    scope.reset();
    return 0;
}
