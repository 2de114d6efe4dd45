#pragma once
// Script roles (small integers) bound to sets of keys and to the wheel.
#include <map>
#include <set>

namespace kestrin {

class CInput;

class CKeyConfig {
public:
    CKeyConfig();
    virtual ~CKeyConfig();

    // Key 136 binds the role to the wheel forward, 137 to the wheel back.
    void AddKey(int role, int key);
    void ClearKeys(int role);
    bool IsDown(int role);
    bool IsDecide(int role);

    const std::map<int, std::set<int>>& GetKeys() const { return m_keys; }

protected:
    CInput* Input();

    CInput* m_input;
    std::map<int, std::set<int>> m_keys;
    std::map<int, bool> m_wheelUp;
    std::map<int, bool> m_wheelDown;
};

}  // namespace kestrin
