// The layer record of the save data: what rebuilds the layer tree of a loaded game.
#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"

namespace kestrin {

void CSaveData::RecordLayerTween(const std::string& id, const CScriptBlock& block, bool append) {
    std::vector<CScriptBlock>& list = m_records.layerRecord[id];
    for (CScriptBlock& kept : list) {
        if (kept.GetName() != block.GetName()) continue;
        for (const auto& attribute : block.GetAttributes()) kept.SetAttribute(attribute.first, attribute.second);
        return;
    }
    if (append) list.push_back(block);
    if (list.empty()) m_records.layerRecord.erase(id);
}

void CSaveData::RemoveLayerTween(const std::string& id, const std::string& tagName, bool all) {
    auto it = m_records.layerRecord.find(id);
    if (it == m_records.layerRecord.end()) return;
    std::vector<CScriptBlock>& list = it->second;
    for (size_t i = 0; i < list.size();) {
        if (list[i].GetName() != tagName) {
            ++i;
            continue;
        }
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        if (!all) break;
    }
    if (list.empty()) m_records.layerRecord.erase(it);
}

void CSaveData::ReplayLayerRecord() {
    if (!m_owner) return;
    // A replayed tag records nothing, yet the lists are walked from a copy to be safe.
    const LayerRecord record = m_records.layerRecord;
    for (const auto& entry : record) {
        for (const CScriptBlock& block : entry.second) m_owner->ExecuteBlock(block, true);
    }
}

void CSaveData::SaveLayerRecord(CSerializer* archive, unsigned key) {
    archive->SaveContainer(m_records.layerRecord, key);
}

void CSaveData::LoadLayerRecord(CSerializer* archive, unsigned key) {
    archive->LoadContainer(m_records.layerRecord, key);
}

}  // namespace kestrin
