// What Korvane's start reads and its exit writes besides the features' own
// files: the program folder made ready, the inventory lists, krv.ini (the
// window's place brought back into sight), the local network, and the
// settings written at the exit.
#pragma once

#include <string>
#include <vector>

#include "korvane/app/app_context.h"
#include "korvane/core/placement.h"

namespace korvane {

// The program folder becomes the current folder, so that files opened by
// bare name and as ProgramDir + name are the same files; what a run killed
// earlier left behind goes before anything is read.
void EnterProgramFolder(MainView& view, const std::string& programDir);
// The lists, the settings and the local network, afresh; `screens` (the
// primary first) bring a saved place that no screen shows back into sight.
void ReadListsAndSettings(AppContext& ctx, const std::vector<Rect>& screens);
// The managed entries (localGM), made empty when missing.
void ReadManagedList(AppContext& ctx, const std::string& programDir);
// krv.ini with the window's place, and settings.ini; replaced atomically, a
// failed write keeps the old files and the user is told that this run's
// settings are lost.
void SaveSettingsAtExit(AppContext& ctx, int left, int top, int height);

}  // namespace korvane
