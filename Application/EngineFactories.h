#pragma once
// The interpreter the application object makes on window creation, and the screen the
// test harness gives it (presenting into a headless window).
#include <functional>
#include <memory>

#include "Application/CKestrin.h"

namespace kestrin {

class CMainScreen;
class CMainScript;
class IFramePresenter;

// Makes a CMainScript on the screen that CKestrinScreen (or the harness screen) built.
CKestrin::ScriptFactory MainScriptFactory();

// The script factory RunApplication gives the application object: the kestrin executable
// sets MainScriptFactory() here; left empty (unit tests of the start-up), no script runs.
CKestrin::ScriptFactory& DefaultScriptFactory();

// A CMainScreen presenting through the given presenter (the harness's headless window).
using PresenterMaker = std::function<std::shared_ptr<IFramePresenter>(CKestrin&)>;
CKestrin::ScreenFactory PresentingScreenFactory(PresenterMaker presenter);

// The objects behind what these factories or CKestrinScreen made (null for anything else).
CMainScreen* GetMainScreen(CKestrin::IScreen* screen);
CMainScript* GetMainScript(CKestrin::IScript* script);

}  // namespace kestrin
