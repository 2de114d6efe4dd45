#pragma once
// What an input method said between two polls, turned into window events: committed texts
// and handed-back keys in order, then the last composition and candidate list where they
// changed.
#include <string>
#include <vector>

#include "CORE/Platform/IInputMethodClient.h"

namespace kestrin {

class InputMethodEvents {
public:
    void AddCommit(const std::string& utf8);
    void AddKey(uint32_t keysym, uint32_t state, bool release);
    void SetComposition(const std::string& utf8) { m_composition = utf8; }
    // selected: index into the list, or -1.
    void SetCandidates(const std::vector<std::string>& utf8, int selected);
    // Appends the events and starts again empty.
    void Flush(std::vector<SWindowEvent>& out);
    // Forgets what was shown (a new input context shows nothing).
    void Clear();

private:
    std::vector<SWindowEvent> m_ordered;
    std::string m_composition, m_shownComposition;
    std::vector<std::string> m_candidates, m_shownCandidates;
    int m_selected = -1, m_shownSelected = -1;
};

}  // namespace kestrin
