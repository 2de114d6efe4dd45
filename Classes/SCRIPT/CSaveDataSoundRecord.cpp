// The sound records of the save data: looping effects per channel and the background music.
#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"

namespace kestrin {

void CSaveData::RecordMusic(const CScriptBlock& block) {
    m_musicRecorded = true;
    m_musicBlock = block;
}

void CSaveData::ClearMusicRecord() {
    m_musicRecorded = false;
    m_musicBlock = CScriptBlock();
}

void CSaveData::ReplaySoundRecord() {
    if (!m_owner) return;
    if (m_musicRecorded) m_owner->ExecuteBlock(m_musicBlock, true);
    // Replayed tags record nothing; a copy keeps the walk safe all the same.
    const SoundRecord record = m_soundRecord;
    for (const auto& entry : record) m_owner->ExecuteBlock(entry.second, true);
}

void CSaveData::SaveSoundRecord(CSerializer* archive, unsigned effectsKey, unsigned flagKey, unsigned blockKey) {
    archive->SaveContainer(m_soundRecord, effectsKey);
    archive->SaveByte(m_musicRecorded ? 1 : 0, flagKey);
    if (m_musicRecorded) archive->SaveSerializable(m_musicBlock, blockKey);
}

void CSaveData::LoadSoundRecord(CSerializer* archive, unsigned effectsKey, unsigned flagKey, unsigned blockKey) {
    archive->LoadContainer(m_soundRecord, effectsKey);
    archive->LoadByte(m_musicRecorded, flagKey);
    if (m_musicRecorded) archive->LoadSerializable(m_musicBlock, blockKey);
}

}  // namespace kestrin
