#include "CORE/GamePath.h"

#include <cctype>
#include <ctime>
#include <unordered_map>
#include <unordered_set>

#include "CORE/CGameFileNames.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {

struct SListing {
    int64_t stamp = 0;
    // On file systems with whole-second times (FAT: two), a change soon after the listing
    // can keep the stamp: until the folder's time is safely past, a miss reads it again.
    bool maybeStale = false;
    std::unordered_set<std::string> names;
    // Folded name -> first name with it, folded as Shift_JIS [0] and as UTF-8 [1]: a
    // Shift_JIS game's names are also looked for in their UTF-8 form.
    std::unordered_map<std::string, std::string> folded[2];
};

size_t FoldIndex(int encoding) { return encoding == kEncodingUtf8 ? 1 : 0; }

std::unordered_map<std::string, SListing>& Cache() {
    static std::unordered_map<std::string, SListing> cache;
    return cache;
}

// A listing for the folder, re-read whenever the folder changed since it was cached.
const SListing* GetListing(const std::string& dir, const SFileStatus& status, bool reread = false) {
    SListing& listing = Cache()[dir];
    if (!reread && listing.stamp == status.changeStamp && listing.stamp != 0) return &listing;
    std::vector<std::string> names;
    if (GetFileSystem()->ListDirectory(dir.empty() ? "." : dir, names)) {
        Cache().erase(dir);
        return nullptr;
    }
    listing.names.clear();
    for (auto& folded : listing.folded) folded.clear();
    for (const std::string& name : names) {
        listing.names.insert(name);
        for (int encoding : {kEncodingShiftJis, kEncodingUtf8}) {
            listing.folded[FoldIndex(encoding)].emplace(CGameFileNames::Fold(name, encoding), name);
        }
    }
    listing.stamp = status.changeStamp;
    listing.maybeStale =
        status.modifiedNanoseconds == 0 && static_cast<int64_t>(std::time(nullptr)) <= status.modifiedSeconds + 2;
    return &listing;
}

std::string MatchSpelling(const SListing& listing, const std::string& element, int encoding) {
    if (listing.names.count(element)) return element;
    const auto& folded = listing.folded[FoldIndex(encoding)];
    auto it = folded.find(CGameFileNames::Fold(element, encoding));
    return it != folded.end() ? it->second : std::string();
}

// The spelling of element present in the listing, or empty: as given, then (for a
// Shift_JIS game) its UTF-8 form, each also without regard to letter case.
std::string Match(const SListing& listing, const std::string& element, int encoding) {
    std::string found = MatchSpelling(listing, element, encoding);
    if (found.empty() && encoding == kEncodingShiftJis) {
        const std::string utf8 = CGameFileNames::ToUtf8(element, encoding);
        if (utf8 != element) found = MatchSpelling(listing, utf8, kEncodingUtf8);
    }
    return found;
}

// Walks the elements from the deepest folder that exists as spelled; stops at the first
// element without a match. Returns the number of elements resolved into resolved.
size_t Walk(const std::vector<std::string>& parts, bool absolute, std::string& resolved) {
    IFileSystem* fs = GetFileSystem();
    const int encoding = CGameFileNames::Encoding();
    // parts.size() - 1 folders at most: the last element is what was not found as spelled.
    size_t start = parts.size() > 0 ? parts.size() - 1 : 0;
    std::string dir;
    SFileStatus status;
    for (;; --start) {
        dir = absolute ? "/" : "";
        for (size_t i = 0; i < start; ++i) dir = JoinPath(dir, parts[i]);
        if (start == 0) {
            if (fs->Stat(dir.empty() ? "." : dir, status)) return 0;
            break;
        }
        if (!fs->Stat(dir, status) && status.kind == EFileKind::Directory) break;
    }
    for (size_t i = start; i < parts.size(); ++i) {
        const std::string& element = parts[i];
        if (element == "." || element == "..") {
            dir = JoinPath(dir, element);
        } else {
            if (status.kind != EFileKind::Directory) return i;
            const SListing* listing = GetListing(dir, status);
            if (!listing) return i;
            std::string found = Match(*listing, element, encoding);
            if (found.empty() && listing->maybeStale) {
                listing = GetListing(dir, status, true);
                if (listing) found = Match(*listing, element, encoding);
            }
            if (found.empty()) return i;
            dir = JoinPath(dir, found);
        }
        if (i + 1 < parts.size() && fs->Stat(dir, status)) return i + 1;
    }
    resolved = dir;
    return parts.size();
}

// Splits a native name into its non-empty elements.
std::vector<std::string> Elements(const std::string& native, bool& absolute) {
    absolute = !native.empty() && native[0] == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= native.size()) {
        size_t end = native.find('/', start);
        if (end == std::string::npos) end = native.size();
        if (end > start) parts.push_back(native.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool ResolveGamePath(const std::string& name, std::string& native) {
    std::string path = CGameFileNames::ToNative(name);
    if (path.empty()) return true;
    SFileStatus status;
    if (!GetFileSystem()->Stat(path, status)) {
        native = path;
        return false;
    }
    bool absolute = false;
    std::vector<std::string> parts = Elements(path, absolute);
    if (parts.empty()) return true;
    std::string resolved;
    if (Walk(parts, absolute, resolved) != parts.size()) return true;
    native = resolved;
    return false;
}

std::string ResolveGamePathForWrite(const std::string& name) {
    std::string path = CGameFileNames::ToNative(name);
    SFileStatus status;
    if (path.empty() || !GetFileSystem()->Stat(path, status)) return path;
    bool absolute = false;
    std::vector<std::string> parts = Elements(path, absolute);
    if (parts.empty()) return path;
    // Resolve ever shorter prefixes; the first that resolves carries the rest as given.
    for (size_t count = parts.size(); count > 0; --count) {
        std::vector<std::string> prefix(parts.begin(), parts.begin() + static_cast<long>(count));
        std::string resolved;
        if (Walk(prefix, absolute, resolved) == prefix.size()) {
            for (size_t i = count; i < parts.size(); ++i) resolved = JoinPath(resolved, parts[i]);
            return resolved;
        }
    }
    return path;
}

bool ListGameFolderOf(const std::string& name, std::vector<std::string>& names) {
    std::string native;
    if (ResolveGamePath(name, native)) return true;
    const size_t slash = native.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : (slash == 0 ? "/" : native.substr(0, slash));
    SFileStatus status;
    if (GetFileSystem()->Stat(dir.empty() ? "." : dir, status) || status.kind != EFileKind::Directory) return true;
    const SListing* listing = GetListing(dir, status);
    if (listing && listing->maybeStale) listing = GetListing(dir, status, true);
    if (!listing) return true;
    names.assign(listing->names.begin(), listing->names.end());
    return false;
}

void ClearGamePathCache() { Cache().clear(); }

bool NormalizeFolderName(const std::string& name, std::string& out) {
    out.clear();
    const std::string native = CGameFileNames::ToNative(name);
    if (!native.empty() && native[0] == '/') return false;
    if (native.size() >= 2 && std::isalpha(static_cast<unsigned char>(native[0])) && native[1] == ':') return false;
    std::vector<std::string> kept;
    for (const std::string& element : CGameFileNames::Split(native, '/')) {
        if (element.empty() || element == ".") continue;
        if (element == "..") {
            if (kept.empty()) return false;
            kept.pop_back();
            continue;
        }
        kept.push_back(element);
    }
    for (size_t i = 0; i < kept.size(); ++i) out += (i ? "/" : "") + kept[i];
    return true;
}

}  // namespace kestrin
