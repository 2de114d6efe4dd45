#include "support/TestSupport.h"

#include "CORE/CDynamicVariables.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace kestrin_test {

TempDir::TempDir() {
    std::random_device rd;
    fs::path base = fs::path(KESTRIN_BINARY_DIR) / "tmp";
    fs::create_directories(base);
    for (;;) {
        fs::path p = base / ("t" + std::to_string(rd()));
        if (fs::create_directory(p)) {
            m_path = p.string();
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
    fs::path p = fs::path(m_path) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool PlantLinkOfAnotherUser(const std::string& target, const std::string& path) {
    fs::create_symlink(target, path);
    return fchownat(AT_FDCWD, path.c_str(), kOtherUser, kOtherUser, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string TestDataPath(const std::string& relative) {
    return (fs::path(KESTRIN_SOURCE_DIR) / "tests" / "data" / relative).string();
}

ScopedCharset::ScopedCharset(const std::string& charset)
    : m_previous(kestrin::CDynamicVariables::GetInstance()->GetString("ini.Charset")) {
    kestrin::CDynamicVariables::GetInstance()->SetString("ini.Charset", charset);
}

ScopedCharset::~ScopedCharset() { kestrin::CDynamicVariables::GetInstance()->SetString("ini.Charset", m_previous); }

}  // namespace kestrin_test
