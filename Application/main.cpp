// Entry point of the kestrin executable: kestrin [GAME] [switches...]
#include "Application/EngineFactories.h"
#include "Application/PlatformServicesScope.h"
#include "CORE/Platform/ICloseSignals.h"

int KestrinMain(int argc, char** argv);

int main(int argc, char** argv) {
    // The desktop's services, for the whole run; the start-up tests call KestrinMain with
    // their own.
    kestrin::PlatformServicesScope services(kestrin::RealPlatformServices());
    // First of all: from here on SIGINT and SIGTERM close the game through its leave path,
    // even when they arrive during start-up.
    kestrin::GetCloseSignals()->Install();
    // The application object runs the game's interpreter (start-up tests leave it out).
    kestrin::DefaultScriptFactory() = kestrin::MainScriptFactory();
    return KestrinMain(argc, argv);
}
