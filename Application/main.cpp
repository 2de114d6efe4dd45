// Entry point of the kestrin executable: kestrin [GAME] [switches...]
#include "Application/EngineFactories.h"

int KestrinMain(int argc, char** argv);

int main(int argc, char** argv) {
    // The application object runs the game's interpreter (start-up tests leave it out).
    kestrin::DefaultScriptFactory() = kestrin::MainScriptFactory();
    return KestrinMain(argc, argv);
}
