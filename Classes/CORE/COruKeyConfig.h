#pragma once
// The interpreter's key configuration: saved with its state (the key sets, not the
// wheel bindings). The interpreter names it CMainScript::COruKeyConfig.
#include "CORE/CKeyConfig.h"
#include "CORE/ISerializable.h"

namespace kestrin {

class COruKeyConfig : public CKeyConfig, public ISerializable {
public:
    COruKeyConfig();
    ~COruKeyConfig() override;

    // The roles every game starts with, before any script changes them.
    void SetDefaultBindings();

    void Save(CSerializer* serializer) override;
    void Load(CSerializer* serializer) override;
};

}  // namespace kestrin
