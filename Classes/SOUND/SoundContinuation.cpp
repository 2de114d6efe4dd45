#include "SOUND/SoundContinuation.h"

#include "CORE/CFileName.h"
#include "CORE/CLogWindow.h"

namespace kestrin {

std::string LoopPartnerName(const std::string& name) {
    CFileName fileName(name);
    const std::string stem = fileName.GetPathWithoutExtension();
    if (stem.size() < 2 || stem.compare(stem.size() - 2, 2, "_a") != 0) return std::string();
    return stem.substr(0, stem.size() - 2) + "_b." + fileName.GetExtension();
}

EContinuation ContinueWithPartner(ISound& source, const std::shared_ptr<CFile>& current) {
    if (!current) return EContinuation::kNone;
    const std::string next = LoopPartnerName(current->GetName());
    if (next.empty()) return EContinuation::kNone;
    std::shared_ptr<CFile> partner(current->Clone(false));
    if (!partner || partner->Open(next.c_str())) return EContinuation::kNone;
    if (!source.Open(partner)) return EContinuation::kPartner;
    Log(ELogLevel::Warning, "sound", "%s cannot be read as the loop of %s", next.c_str(), current->GetName().c_str());
    current->Seek(0, 0);
    source.Open(current);
    return EContinuation::kFailed;
}

}  // namespace kestrin
