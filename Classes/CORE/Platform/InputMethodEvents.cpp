#include "CORE/Platform/InputMethodEvents.h"

namespace kestrin {

void InputMethodEvents::AddCommit(const std::string& utf8) {
    if (utf8.empty()) return;
    SWindowEvent e;
    e.type = EWindowEvent::TextInput;
    e.text = utf8;
    m_ordered.push_back(e);
    // Committed text ends the composition on the game's side too.
    m_shownComposition.clear();
    m_shownCandidates.clear();
    m_shownSelected = -1;
}

void InputMethodEvents::AddKey(uint32_t keysym, uint32_t state, bool release) {
    SWindowEvent e;
    e.type = release ? EWindowEvent::KeyUp : EWindowEvent::KeyDown;
    e.key = VirtualKeyOfKeysym(keysym);
    e.alt = (state & 8u) != 0;
    if (e.key != 0) m_ordered.push_back(e);
    // Control and Alt combinations type nothing.
    if (release || (state & (4u | 8u)) != 0) return;
    const std::string text = TextOfKeysym(keysym);
    if (text.empty()) return;
    SWindowEvent typed;
    typed.type = EWindowEvent::TextInput;
    typed.text = text;
    m_ordered.push_back(typed);
}

void InputMethodEvents::SetCandidates(const std::vector<std::string>& utf8, int selected) {
    m_candidates = utf8;
    m_selected = selected >= 0 && static_cast<size_t>(selected) < utf8.size() ? selected : -1;
}

void InputMethodEvents::Flush(std::vector<SWindowEvent>& out) {
    for (SWindowEvent& e : m_ordered) out.push_back(std::move(e));
    m_ordered.clear();
    SWindowEvent composition;
    composition.type = EWindowEvent::TextEditing;
    composition.text = m_composition;
    SWindowEvent list;
    list.type = EWindowEvent::TextCandidates;
    list.candidates = m_candidates;
    list.key = m_selected;
    const bool compositionChanged = m_composition != m_shownComposition;
    const bool listChanged = m_candidates != m_shownCandidates || m_selected != m_shownSelected;
    // The game shows the selected candidate as the composition: a new composition after an
    // open list would take its place, and a list that closes after the composition would
    // leave the old list on the screen.
    if (listChanged && m_candidates.empty()) out.push_back(list);
    if (compositionChanged) out.push_back(composition);
    if (listChanged && !m_candidates.empty()) out.push_back(list);
    m_shownComposition = m_composition;
    m_shownCandidates = m_candidates;
    m_shownSelected = m_selected;
}

void InputMethodEvents::Clear() {
    m_ordered.clear();
    m_composition.clear();
    m_shownComposition.clear();
    m_candidates.clear();
    m_shownCandidates.clear();
    m_selected = m_shownSelected = -1;
}

}  // namespace kestrin
