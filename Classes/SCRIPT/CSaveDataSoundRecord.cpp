// The sound records of the save data: looping effects per channel and the background music.
#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"

namespace kestrin {

void CSaveData::RecordMusic(const CScriptBlock& block) {
    m_records.musicRecorded = true;
    m_records.musicBlock = block;
}

void CSaveData::ClearMusicRecord() {
    m_records.musicRecorded = false;
    m_records.musicBlock = CScriptBlock();
}

void CSaveData::ReplaySoundRecord() {
    if (!m_owner) return;
    if (m_records.musicRecorded) m_owner->ExecuteBlock(m_records.musicBlock, true);
    // Replayed tags record nothing; a copy keeps the walk safe all the same.
    const SoundRecord record = m_records.soundRecord;
    for (const auto& entry : record) m_owner->ExecuteBlock(entry.second, true);
}

void CSaveData::SaveSoundRecord(CSerializer* archive, unsigned effectsKey, unsigned flagKey, unsigned blockKey) {
    archive->SaveContainer(m_records.soundRecord, effectsKey);
    archive->SaveByte(m_records.musicRecorded ? 1 : 0, flagKey);
    if (m_records.musicRecorded) archive->SaveSerializable(m_records.musicBlock, blockKey);
}

void CSaveData::LoadSoundRecord(CSerializer* archive, unsigned effectsKey, unsigned flagKey, unsigned blockKey) {
    archive->LoadContainer(m_records.soundRecord, effectsKey);
    archive->LoadByte(m_records.musicRecorded, flagKey);
    if (m_records.musicRecorded) archive->LoadSerializable(m_records.musicBlock, blockKey);
}

}  // namespace kestrin
