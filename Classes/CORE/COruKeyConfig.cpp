#include "CORE/COruKeyConfig.h"

#include <initializer_list>

#include "CORE/CSerializer.h"

namespace kestrin {

COruKeyConfig::COruKeyConfig() = default;

COruKeyConfig::~COruKeyConfig() = default;

void COruKeyConfig::SetDefaultBindings() {
    // left 1, right 2, Backspace 8, Enter 13, Shift 16, Ctrl 17, Escape 27, Space 32,
    // Up 38, Down 40, A 65, wheel forward 136, wheel back 137.
    const std::initializer_list<int> all = {1, 137, 13, 2, 27, 8, 32, 136, 38, 40, 65, 16, 17};
    const std::initializer_list<int> table[] = {
        {1, 137, 13},                         // 0
        {2, 27},                              // 1
        {2, 27, 8},                           // 2
        {32, 8},                              // 3
        all,                                  // 4
        {136, 38},                            // 5
        {2, 27, 8},                           // 6
        {136, 38},                            // 7
        {137, 40},                            // 8
        {65},                                 // 9
        all,                                  // 10
        {2, 27, 8, 32, 136, 38, 65, 16, 17},  // 11
        {16},                                 // 12
        all,                                  // 13
        {17},                                 // 14
    };
    int role = 0;
    for (const auto& keys : table) {
        for (int key : keys) AddKey(role, key);
        ++role;
    }
}

void COruKeyConfig::Save(CSerializer* serializer) {
    if (serializer) serializer->SaveKeyConfigMap(m_keys, 1);
}

void COruKeyConfig::Load(CSerializer* serializer) {
    if (serializer) serializer->LoadKeyConfigMap(m_keys, 1);
}

}  // namespace kestrin
