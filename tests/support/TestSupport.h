#pragma once
// Small helpers shared by the test binaries.
#include <string>

namespace kestrin_test {

// A fresh empty folder under the build tree, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    // Writes bytes to Path()/relative, creating folders on the way; returns the full path.
    std::string Write(const std::string& relative, const std::string& bytes) const;

private:
    std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The user and group "nobody": the other local user of the tests.
constexpr unsigned kOtherUser = 65534;
// Makes a symbolic link at path to target and gives it to kOtherUser, as if that user had
// planted it; false when it cannot be given away (only root may), the link then being ours.
bool PlantLinkOfAnotherUser(const std::string& target, const std::string& path);

// Path of a file below the source tree's tests/data folder.
std::string TestDataPath(const std::string& relative);

// Declares the game's encoding ("ini.Charset", as "system.ini" would) while it lives.
class ScopedCharset {
public:
    explicit ScopedCharset(const std::string& charset);
    ~ScopedCharset();
    ScopedCharset(const ScopedCharset&) = delete;
    ScopedCharset& operator=(const ScopedCharset&) = delete;

private:
    std::string m_previous;
};

}  // namespace kestrin_test
