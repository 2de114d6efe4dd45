// Game saves are outside data: any bytes either load whole or are refused, and a refused
// save leaves the running game exactly as it was (caret, call stack, variables, keys and
// records). The seeds were saved by this script (tools: kestrin-harness --save-dir).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/COruKeyConfig.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"

namespace {

const char kScript[] =
    "[var name=a data=1]\n[autosave allow=1]\n[keyconfig role=3 keys=\"65,66\"]\n[lyc id=bg file=day.png]\n"
    "[lytween id=bg param=left from=0 to=10 msec=100]\n[seplay id=l file=chime loop=1]\n[splay file=chime]\n"
    "[save file=seed.dat]\n[stop]\n";

std::string Fingerprint(kestrin::CMainScript& s) {
    std::string out = s.GetCaret().file + ":" + std::to_string(s.GetCaret().index) + ":" +
                      std::to_string(s.GetState()) + ":" + std::to_string(s.GetCallStack().size()) + ":" +
                      std::to_string(s.GetAutoSaveMode()) + "|";
    std::map<std::string, std::string> sorted;
    for (const auto& v : s.GetVariables().GetTable()) sorted[v.first] = v.second.GetString();
    for (const auto& v : sorted) out += v.first + "=" + v.second + ";";
    for (const auto& role : s.GetKeyConfig().GetKeys()) {
        out += std::to_string(role.first) + ":";
        for (int key : role.second) out += std::to_string(key) + ",";
    }
    kestrin::CSaveData& save = s.GetSaveData();
    out += "|" + std::to_string(save.GetLayerRecord().size()) + ":" + std::to_string(save.GetSoundRecord().size()) +
           ":" + std::to_string(save.IsMusicRecorded());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::HeadlessFileSystem* files = [] {
        kestrin::CLogWindow::SetLineSink([](const std::string&) {});
        auto* fs = new kestrin::HeadlessFileSystem();
        fs->AddFile("main.iet", kScript);
        fs->AddDirectory("saves");
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.fileSystem = kestrin::Unowned(*fs);
        static kestrin::PlatformServicesScope scope(services);
        kestrin::CDynamicVariables* dynamic = kestrin::CDynamicVariables::GetInstance();
        dynamic->SetString("ini.Boot", "main.iet");
        dynamic->SetString("ini.Charset", "utf-8");
        dynamic->SetString("SaveDataPath", "saves");
        return fs;
    }();
    kestrin::CMainScript script(nullptr);
    if (script.Start()) return 0;
    script.Update(16);
    files->AddFile("saves/fuzz.dat", std::string(reinterpret_cast<const char*>(data), size));
    kestrin::ClearGamePathCache();
    const std::string before = Fingerprint(script);
    if (script.GetSaveData().Load("fuzz.dat", kestrin::CSaveData::kTypeGame)) {
        if (Fingerprint(script) != before) std::abort();  // a refused save changed the game
        return 0;
    }
    // A save that loaded runs on.
    for (int frame = 2; frame < 4; ++frame) script.Update(static_cast<uint32_t>(frame) * 16);
    return 0;
}
