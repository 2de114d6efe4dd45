// The program's argument vector from arbitrary bytes: elements end at NUL bytes, as the
// kernel hands them over, behind the program name. Finding GAME and reading the switches
// never reads outside an element, and nothing is split: every key is a bare token's number
// or a whole switch name after its "/" or "-", every value a whole element.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "CORE/StartUp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::HeadlessFileSystem* files = [] {
        auto* fs = new kestrin::HeadlessFileSystem();
        // A game folder at the root: "/g" is a game, "/s" a switch.
        fs->AddDirectory("/g");
        fs->AddFile("/g/root.pfs", "pf8");
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.fileSystem = kestrin::Unowned(*fs);
        static kestrin::PlatformServicesScope scope(services);
        return fs;
    }();
    (void)files;
    std::vector<std::string> elements{"kestrin"};
    size_t start = 0;
    for (size_t i = 0; i <= size && elements.size() < 64; ++i) {
        if (i == size || data[i] == 0) {
            elements.emplace_back(reinterpret_cast<const char*>(data + start), i - start);
            start = i + 1;
        }
    }
    std::vector<char*> argv;
    for (std::string& e : elements) argv.push_back(&e[0]);
    argv.push_back(nullptr);
    const int argc = static_cast<int>(elements.size());

    const int gameIndex = kestrin::FindGameArgument(argc, argv.data());
    if (gameIndex != 0 && (gameIndex != 1 || elements[1].empty() || elements[1][0] == '-')) __builtin_trap();
    kestrin::ArgumentMap arguments;
    kestrin::ParseArgumentVector(argc, argv.data(), gameIndex, arguments);
    // Keys are bare-token numbers or whole switch names; values are whole elements. (A
    // repeated switch, or a switch named by a number, replaces an earlier entry.)
    std::set<std::string> whole(elements.begin() + 1, elements.end()), names;
    for (int i = 1; i < argc; ++i) {
        if (!elements[i].empty() && (elements[i][0] == '/' || elements[i][0] == '-'))
            names.insert(elements[i].substr(1));
    }
    whole.insert("");
    for (const auto& entry : arguments) {
        const bool number = !entry.first.empty() && entry.first.find_first_not_of("0123456789") == std::string::npos;
        if (!whole.count(entry.second) || (!number && !names.count(entry.first))) __builtin_trap();
    }
    if (arguments.size() > static_cast<size_t>(argc)) __builtin_trap();
    // GAME is bare token "0" unless a switch of that name followed.
    if (gameIndex == 1 && !names.count("0") && arguments["0"] != elements[1]) __builtin_trap();
    return 0;
}
