// Saved variable stores, script blocks and backlogs over arbitrary bytes (saves are outside
// data): loading never fails hard, and whatever loaded saves, loads and saves again
// unchanged: the same bytes for script blocks and backlogs; for variable stores, whose
// tables are hash maps saved in their own order, the same variables and an image of the
// same size. A loaded backlog always pairs its pages with font states, within the limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "CORE/CSerializer.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CScriptBlock.h"

namespace {

template <class T>
std::string Image(T& object) {
    kestrin::CSerializer out;
    object.Save(&out);
    kestrin::CBinaryStream::CMemoryInfo* m = out.GetMemory();
    return m ? std::string(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size)) : std::string();
}

template <class T>
void LoadImage(T& object, const std::string& image) {
    kestrin::CSerializer in;
    in.Attach(image.data(), static_cast<unsigned>(image.size()));
    object.Load(&in);
}

// The variables a store saves (names with "g.", "s." or "t." are saved elsewhere), sorted.
std::map<std::string, std::string> SavedVariables(const kestrin::COruVariables& vars) {
    std::map<std::string, std::string> out;
    for (const auto& v : vars.GetTable()) {
        const std::string& name = v.first;
        if (name.size() >= 2 && name[1] == '.' && (name[0] == 'g' || name[0] == 's' || name[0] == 't')) continue;
        out[name] = v.second.GetString();
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        kestrin::COruVariables vars;
        vars.SetString("g.kept", "1");
        kestrin::CSerializer in;
        in.Attach(data, static_cast<unsigned>(size));
        vars.Load(&in);
        vars.LoadWithPrefix(&in, 1);
        vars.Evaluate("g.kept + 1");
        const std::string image = Image(vars);
        kestrin::COruVariables again;
        LoadImage(again, image);
        if (SavedVariables(again) != SavedVariables(vars) || Image(again).size() != image.size()) std::abort();
    }
    {
        kestrin::CScriptBlock block;
        kestrin::CSerializer in;
        in.Attach(data, static_cast<unsigned>(size));
        block.Load(&in);
        block.ToCommaText();
        const std::string image = Image(block);
        kestrin::CScriptBlock again;
        LoadImage(again, image);
        if (Image(again) != image) std::abort();
    }
    {
        static kestrin::CMainScript* owner = new kestrin::CMainScript(nullptr);
        kestrin::CBackLog backlog(*owner);
        kestrin::CSerializer in;
        in.Attach(data, static_cast<unsigned>(size));
        backlog.Load(&in);
        if (backlog.GetPages().size() > kestrin::CBackLog::kMaxPages ||
            backlog.GetPages().size() != backlog.GetFontStates().size()) {
            std::abort();
        }
        const std::string image = Image(backlog);
        kestrin::CBackLog again(*owner);
        LoadImage(again, image);
        if (again.LoadFailed() || Image(again) != image) std::abort();
    }
    return 0;
}
