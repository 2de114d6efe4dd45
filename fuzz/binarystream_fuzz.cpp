// CBinaryStream operation sequences against a plain string model: writes at either end,
// moves between streams, flattening, attaching and reads from any position.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CORE/CBinaryStream.h"

using kestrin::CBinaryStream;

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CBinaryStream streams[2];
    std::string model[2];
    size_t i = 0;
    while (i < size) {
        const uint8_t code = data[i++];
        const int s = code & 1;
        const size_t n = i < size ? data[i++] * ((code & 0x80) ? 37u : 1u) : 0;
        std::string bytes;
        for (size_t k = 0; k < n; ++k) bytes.push_back(static_cast<char>(k * 31 + code));
        switch ((code >> 1) % 6) {
            case 0:
                streams[s].Write(bytes.data(), static_cast<unsigned>(bytes.size()));
                model[s] += bytes;
                break;
            case 1:
                streams[s].WriteEx(bytes.data(), static_cast<unsigned>(bytes.size()), true);
                model[s] = bytes + model[s];
                break;
            case 2: {
                const bool front = (code & 0x40) != 0;
                const bool bothHaveBlocks = !streams[s].GetChunks().empty() && !streams[1 - s].GetChunks().empty();
                streams[s].AppendEx(&streams[1 - s], front);
                if (bothHaveBlocks) {
                    model[s] = front ? model[1 - s] + model[s] : model[s] + model[1 - s];
                    model[1 - s].clear();
                }
                break;
            }
            case 3: {
                CBinaryStream::CMemoryInfo* m = streams[s].GetMemory();
                if (model[s].empty()) {
                    Check(m == nullptr);
                } else {
                    Check(m && m->size == static_cast<int32_t>(model[s].size()) &&
                          std::memcmp(m->data, model[s].data(), model[s].size()) == 0);
                    Check(streams[s].GetPosition() == model[s].size());
                }
                break;
            }
            case 4: {
                // Attach the remaining input and read it back in steps from a position.
                const std::string rest(reinterpret_cast<const char*>(data + i), size - i);
                CBinaryStream reader;
                reader.SetBuffer(rest.data(), static_cast<unsigned>(rest.size()));
                reader.SetPosition(static_cast<uint32_t>(n));
                char buffer[64];
                for (unsigned step = 1; step < 64; step += 7) {
                    const uint32_t before = reader.GetPosition();
                    const bool failed = reader.Read(buffer, step);
                    if (before > rest.size() || rest.size() - before < step) {
                        Check(failed && reader.GetPosition() == before);
                    } else {
                        Check(!failed && std::memcmp(buffer, rest.data() + before, step) == 0);
                    }
                }
                break;
            }
            case 5:
                streams[s].Clear();
                model[s].clear();
                break;
        }
    }
    return 0;
}
