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
    const std::initializer_list<int> table[kRoleCount] = {
        {1, 137, 13},                         // kRoleAdvance
        {2, 27},                              // kRoleOpenRightClick
        {2, 27, 8},                           // kRoleLeaveRightClick
        {32, 8},                              // kRoleHide
        all,                                  // kRoleShow
        {136, 38},                            // kRoleOpenBacklog
        {2, 27, 8},                           // kRoleLeaveBacklog
        {136, 38},                            // kRoleBacklogOlder
        {137, 40},                            // kRoleBacklogNewer
        {65},                                 // kRoleAutoModeStart
        all,                                  // kRoleAutoModeStopClick
        {2, 27, 8, 32, 136, 38, 65, 16, 17},  // kRoleAutoModeStop
        {16},                                 // kRoleCommandSkipStart
        all,                                  // kRoleCommandSkipStop
        {17},                                 // kRoleControlSkip
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
