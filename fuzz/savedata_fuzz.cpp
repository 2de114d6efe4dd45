// Global and system save files are outside data: any bytes must load or be refused
// without a crash or a read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::HeadlessFileSystem* fake = [] {
        auto* fs = new kestrin::HeadlessFileSystem();
        fs->AddDirectory("saves");
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.fileSystem = kestrin::Unowned(*fs);
        static kestrin::PlatformServicesScope scope(services);
        kestrin::CDynamicVariables::GetInstance()->SetString("SaveDataPath", "saves");
        kestrin::CLogWindow::SetLineSink([](const std::string&) {});
        return fs;
    }();
    static kestrin::CMainScript* script = new kestrin::CMainScript(nullptr);
    fake->AddFile("saves/save.dat", std::string(reinterpret_cast<const char*>(data), size));
    kestrin::ClearGamePathCache();
    script->GetSaveData().Load("save.dat", kestrin::CSaveData::kTypeGlobal);
    script->GetSaveData().Load("save.dat", kestrin::CSaveData::kTypeSystem);
    return 0;
}
