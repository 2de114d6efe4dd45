#include "CORE/Platform/HeadlessFileSystem.h"

#include "CORE/StringHelpers.h"

#include <stdio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace kestrin {

HeadlessFileSystem::HeadlessFileSystem() {
    m_nodes[""].directory = true;
    m_nodes[""].permissions = 0755;
}

namespace {
// A stdio stream over shared bytes: reading copies from them, writing extends them.
struct SCookie {
    std::shared_ptr<std::string> bytes;
    size_t position = 0;
};

ssize_t CookieRead(void* cookie, char* buffer, size_t size) {
    SCookie* c = static_cast<SCookie*>(cookie);
    if (c->position >= c->bytes->size()) return 0;
    size_t n = std::min(size, c->bytes->size() - c->position);
    std::memcpy(buffer, c->bytes->data() + c->position, n);
    c->position += n;
    return static_cast<ssize_t>(n);
}

ssize_t CookieWrite(void* cookie, const char* buffer, size_t size) {
    SCookie* c = static_cast<SCookie*>(cookie);
    if (c->bytes->size() < c->position) c->bytes->resize(c->position);
    c->bytes->replace(c->position, std::min(size, c->bytes->size() - c->position), buffer, size);
    c->position += size;
    return static_cast<ssize_t>(size);
}

int CookieSeek(void* cookie, off64_t* offset, int whence) {
    SCookie* c = static_cast<SCookie*>(cookie);
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<int64_t>(c->position)
                                        : static_cast<int64_t>(c->bytes->size());
    int64_t target = base + *offset;
    if (target < 0) return -1;
    c->position = static_cast<size_t>(target);
    *offset = target;
    return 0;
}

int CookieClose(void* cookie) {
    delete static_cast<SCookie*>(cookie);
    return 0;
}

std::FILE* OpenCookie(std::shared_ptr<std::string> bytes, const char* mode) {
    cookie_io_functions_t io = {CookieRead, CookieWrite, CookieSeek, CookieClose};
    SCookie* cookie = new SCookie{std::move(bytes), 0};
    std::FILE* file = ::fopencookie(cookie, mode, io);
    if (!file) delete cookie;
    return file;
}

// A folder of the tree, by its path. The tree has no symbolic links; a file stays "held"
// (see RemoveIfAbandoned) for minimumAgeSeconds after it was made.
class FakeFolder : public IFolder {
public:
    FakeFolder(HeadlessFileSystem* fs, std::string path) : m_fs(fs), m_path(std::move(path)) {}
    std::unique_ptr<IFolder> OpenSubfolder(const std::string& name, bool make) override {
        const std::string path = Path(name);
        if (make) m_fs->MakeDirectory(path);
        SFileStatus status;
        if (m_fs->Stat(path, status) || status.kind != EFileKind::Directory) {
            errno = ENOTDIR;
            return nullptr;
        }
        return std::make_unique<FakeFolder>(m_fs, path);
    }
    bool StatEntry(const std::string& name, SFileStatus& out) override { return m_fs->Stat(Path(name), out); }
    bool List(std::vector<std::string>& names) override { return m_fs->ListDirectory(m_path, names); }
    std::FILE* CreateNewFile(const std::string& name, int permissions) override {
        if (m_fs->Exists(Path(name))) {
            errno = EEXIST;
            return nullptr;
        }
        std::FILE* file = m_fs->OpenWrite(Path(name));
        if (file) {
            m_fs->SetModifiedSeconds(Path(name), static_cast<int64_t>(std::time(nullptr)));
            if (permissions >= 0) m_fs->SetPermissions(Path(name), static_cast<uint32_t>(permissions) & 0777);
        }
        return file;
    }
    bool Rename(const std::string& from, const std::string& to) override {
        return m_fs->RenameFile(Path(from), Path(to));
    }
    bool Remove(const std::string& name) override { return m_fs->RemoveFile(Path(name)); }
    bool RemoveIfAbandoned(const std::string& name, int64_t minimumAgeSeconds) override {
        SFileStatus status;
        if (m_fs->Stat(Path(name), status) || status.kind != EFileKind::Regular ||
            static_cast<int64_t>(std::time(nullptr)) - status.modifiedSeconds < minimumAgeSeconds)
            return false;
        return !m_fs->RemoveFile(Path(name));
    }

private:
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

    HeadlessFileSystem* m_fs;
    std::string m_path;
};

}  // namespace

std::string HeadlessFileSystem::Normalize(const std::string& path) const {
    std::string full =
        (!path.empty() && path[0] == '/') || currentDirectory.empty() ? path : currentDirectory + "/" + path;
    std::string out;
    for (const std::string& part : CollapsePathElements(full)) out += (out.empty() ? "" : "/") + part;
    return out;
}

void HeadlessFileSystem::Touch(const std::string& normalized) {
    ++m_counter;
    size_t slash = normalized.rfind('/');
    std::string parent = slash == std::string::npos ? "" : normalized.substr(0, slash);
    m_nodes[parent].stamp = m_counter;
}

void HeadlessFileSystem::AddDirectory(const std::string& path) {
    std::string n = Normalize(path);
    std::string prefix;
    size_t start = 0;
    while (start <= n.size() && !n.empty()) {
        size_t end = n.find('/', start);
        if (end == std::string::npos) end = n.size();
        prefix = n.substr(0, end);
        if (!m_nodes.count(prefix)) {
            m_nodes[prefix].directory = true;
            m_nodes[prefix].permissions = 0755;
            Touch(prefix);
        }
        start = end + 1;
    }
}

void HeadlessFileSystem::AddFile(const std::string& path, const std::string& bytes, int64_t modifiedSeconds) {
    std::string n = Normalize(path);
    size_t slash = n.rfind('/');
    if (slash != std::string::npos) AddDirectory(n.substr(0, slash));
    SNode& node = m_nodes[n];
    node.directory = false;
    node.bytes = std::make_shared<std::string>(bytes);
    node.modifiedSeconds = modifiedSeconds;
    node.stamp = ++m_counter;
    Touch(n);
}

void HeadlessFileSystem::Remove(const std::string& path) {
    std::string n = Normalize(path);
    if (m_nodes.erase(n)) Touch(n);
}

void HeadlessFileSystem::SetModifiedSeconds(const std::string& path, int64_t seconds) {
    auto it = m_nodes.find(Normalize(path));
    if (it != m_nodes.end()) it->second.modifiedSeconds = seconds;
}

void HeadlessFileSystem::SetPermissions(const std::string& path, uint32_t permissions) {
    auto it = m_nodes.find(Normalize(path));
    if (it != m_nodes.end()) it->second.permissions = permissions;
}

std::string HeadlessFileSystem::Contents(const std::string& path) {
    auto it = m_nodes.find(Normalize(path));
    return it != m_nodes.end() && it->second.bytes ? *it->second.bytes : std::string();
}

bool HeadlessFileSystem::Exists(const std::string& path) { return m_nodes.count(Normalize(path)) != 0; }

bool HeadlessFileSystem::Stat(const std::string& path, SFileStatus& out) {
    out = SFileStatus();
    if (path.empty()) return true;
    auto it = m_nodes.find(Normalize(path));
    if (it == m_nodes.end()) return true;
    out.kind = it->second.directory ? EFileKind::Directory : EFileKind::Regular;
    out.size = it->second.bytes ? static_cast<int64_t>(it->second.bytes->size()) : 0;
    out.modifiedSeconds = it->second.modifiedSeconds;
    out.modifiedNanoseconds = 1;  // the stamps are exact
    out.changeStamp = it->second.stamp;
    out.permissions = it->second.permissions;
    out.owner = EFileOwner::Engine;
    return false;
}

bool HeadlessFileSystem::ListDirectory(const std::string& path, std::vector<std::string>& names) {
    ++listCalls;
    std::string n = Normalize(path.empty() ? "." : path);
    auto it = m_nodes.find(n);
    if (it == m_nodes.end() || !it->second.directory) return true;
    std::string prefix = n.empty() ? "" : n + "/";
    for (auto& entry : m_nodes) {
        const std::string& name = entry.first;
        if (name.empty() || name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (name.find('/', prefix.size()) != std::string::npos) continue;
        names.push_back(name.substr(prefix.size()));
    }
    return false;
}

std::FILE* HeadlessFileSystem::OpenRead(const std::string& path) {
    if (path.empty()) return nullptr;
    auto it = m_nodes.find(Normalize(path));
    if (it == m_nodes.end() || it->second.directory) return nullptr;
    return OpenCookie(it->second.bytes, "rb");
}

std::FILE* HeadlessFileSystem::OpenWrite(const std::string& path) {
    std::string n = Normalize(path);
    size_t slash = n.rfind('/');
    std::string parent = slash == std::string::npos ? "" : n.substr(0, slash);
    auto p = m_nodes.find(parent);
    if (n.empty() || p == m_nodes.end() || !p->second.directory) return nullptr;
    auto existing = m_nodes.find(n);
    if (existing != m_nodes.end() && existing->second.directory) return nullptr;
    SNode& node = m_nodes[n];
    node.directory = false;
    node.bytes = std::make_shared<std::string>();
    node.stamp = ++m_counter;
    Touch(n);
    return OpenCookie(node.bytes, "wb");
}

bool HeadlessFileSystem::MakeDirectory(const std::string& path) {
    std::string n = Normalize(path);
    size_t slash = n.rfind('/');
    std::string parent = slash == std::string::npos ? "" : n.substr(0, slash);
    if (n.empty() || m_nodes.count(n) || !m_nodes.count(parent) || !m_nodes[parent].directory) return true;
    m_nodes[n].directory = true;
    m_nodes[n].permissions = 0755;
    Touch(n);
    return false;
}

bool HeadlessFileSystem::ChangeDirectory(const std::string& path) {
    std::string n = Normalize(path);
    auto it = m_nodes.find(n);
    if (it == m_nodes.end() || !it->second.directory) return true;
    currentDirectory = "/" + n;
    return false;
}

bool HeadlessFileSystem::GetCurrentDirectory(std::string& out) {
    out = currentDirectory.empty() ? "/" : currentDirectory;
    return false;
}

bool HeadlessFileSystem::SyncFile(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return true;
    return failSync;
}

bool HeadlessFileSystem::RenameFile(const std::string& from, const std::string& to) {
    if (failRename) return true;
    std::string f = Normalize(from), t = Normalize(to);
    auto source = m_nodes.find(f);
    if (source == m_nodes.end() || source->second.directory) return true;
    auto target = m_nodes.find(t);
    if (target != m_nodes.end() && target->second.directory) return true;
    SNode node = source->second;
    m_nodes.erase(source);
    node.stamp = ++m_counter;
    m_nodes[t] = node;
    Touch(f);
    Touch(t);
    return false;
}

bool HeadlessFileSystem::RemoveFile(const std::string& path) {
    std::string n = Normalize(path);
    auto it = m_nodes.find(n);
    if (it == m_nodes.end() || it->second.directory) return true;
    m_nodes.erase(it);
    Touch(n);
    return false;
}

std::unique_ptr<IFolder> HeadlessFileSystem::OpenFolder(const std::string& path) {
    std::string n = Normalize(path.empty() ? "." : path);
    auto it = m_nodes.find(n);
    if (it == m_nodes.end() || !it->second.directory) {
        errno = ENOENT;
        return nullptr;
    }
    return std::make_unique<FakeFolder>(this, "/" + n);
}

}  // namespace kestrin
