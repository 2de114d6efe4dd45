// The interpreter's side of the tween and transition tags (tags/CTweenTags.cpp holds them and
// their state): the family is made here, the handlers the tag table names forward to it, and
// the family reaches the interpreter through ITweenTagHost.
#include <algorithm>
#include <utility>
#include <vector>

#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/CTweenTags.h"

namespace kestrin {

namespace {

// Remembers a tween of a message layer, forgetting those that have ended meanwhile.
void AddMessageLayerTween(std::vector<int32_t>& ids, int32_t id) {
    ids.erase(std::remove_if(ids.begin(), ids.end(), [](int32_t kept) { return !IsTweenRegistered(kept); }), ids.end());
    ids.push_back(id);
}

}  // namespace

void CMainScript::CreateTweenTags() {
    ITweenTagHost& host = *this;
    m_tween = std::make_unique<CTweenTags>(host);
}

bool CMainScript::TagLytween(CScriptBlock block, bool replay) { return m_tween->TagLytween(std::move(block), replay); }
bool CMainScript::TagTweenset(CScriptBlock block, bool replay) {
    return m_tween->TagTweenset(std::move(block), replay);
}
bool CMainScript::TagTweensetEnd(CScriptBlock block, bool replay) {
    return m_tween->TagTweensetEnd(std::move(block), replay);
}
bool CMainScript::TagLytweendel(CScriptBlock block, bool replay) {
    return m_tween->TagLytweendel(std::move(block), replay);
}
bool CMainScript::TagFlip(CScriptBlock block, bool replay) { return m_tween->TagFlip(std::move(block), replay); }
bool CMainScript::TagTrans(CScriptBlock block, bool replay) { return m_tween->TagTrans(std::move(block), replay); }

bool CMainScript::FindTweenTarget(const std::string& id, IDisplayObject*& object,
                                  std::shared_ptr<IDisplayObject>& keep) {
    STagTarget target;
    if (!FindTagTarget(id, true, true, target)) return false;
    object = target.object;
    keep = target.keep;
    return true;
}

void CMainScript::AttachTween(const std::string& id, int32_t tween) {
    STagTarget target;
    if (!FindTagTarget(id, true, true, target)) return;
    if (target.node) {
        target.node->AddTween(tween);
    } else {
        AddMessageLayerTween(m_screen->GetMessageLayerTweens()[target.messageLayer], tween);
    }
}

void CMainScript::FinishLayerTweens(const std::string& id) {
    STagTarget target;
    if (!FindTagTarget(id, true, true, target)) return;
    if (target.node) {
        target.node->FinishTweens();
    } else {
        std::vector<int32_t> ids;
        ids.swap(m_screen->GetMessageLayerTweens()[target.messageLayer]);
        for (int32_t tween : ids) FinishTween(tween);
    }
}

void CMainScript::DeleteTweenedLayer(const std::string& id) { DeleteLayerAndRecords(id, false); }
CMainScreen* CMainScript::GetTweenScreen() { return m_screen; }
void CMainScript::WaitForTween() { SetStatus(STAT_WAIT); }
void CMainScript::WaitForTransition() { SetStatus(STAT_TRANSITION); }

void CMainScript::EndTweenWait() {
    if (m_state.caret.status == STAT_WAIT) m_state.caret.SetStatus(STAT_RUN);
}

void CMainScript::OnTransitionFinished() {
    if (m_state.caret.status == STAT_TRANSITION || m_state.caret.status == STAT_WAIT) EndClickWait();
}

bool CMainScript::IsSkippingTweens() const { return IsSkipping(); }
CSaveData& CMainScript::GetTweenSaveData() { return GetSaveData(); }

}  // namespace kestrin
