#pragma once
// The texts of the input method that the window messages stand for: committed results
// (each under a serial that its message carries), the composition being typed and the
// candidate list. All texts are UTF-8 as the platform gives them.
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace kestrin {

class CImeContext {
public:
    static CImeContext& GetInstance();

    // Keeps a committed text; its serial is never 0.
    uint32_t AddResult(const std::string& utf8);
    // The text kept under serial; empty when unknown or long forgotten.
    std::string GetResult(uint32_t serial) const;
    void SetComposition(const std::string& utf8) { m_composition = utf8; }
    const std::string& GetComposition() const { return m_composition; }
    // selected: index into the list, or -1.
    void SetCandidates(const std::vector<std::string>& utf8, int selected);
    const std::vector<std::string>& GetCandidates() const { return m_candidates; }
    int GetSelection() const { return m_selection; }
    // Forgets everything (between runs and tests).
    void Clear();

private:
    // Results whose messages nobody takes must not pile up.
    static constexpr size_t kKeptResults = 256;
    std::deque<std::pair<uint32_t, std::string>> m_results;
    uint32_t m_nextSerial = 1;
    std::string m_composition;
    std::vector<std::string> m_candidates;
    int m_selection = -1;
};

}  // namespace kestrin
