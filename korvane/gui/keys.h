// The keys of the app's command table as Qt takes them: a key sequence, and
// the French names of the modifiers that Qt shows beside the menus' texts
// ("Ctrl+Maj+I", as the Win32 window shows them).
#pragma once

#include <QKeySequence>

#include "korvane/app/command_table.h"

namespace korvane {

QKeySequence KeySequence(const KeyChord& keys);
// Once per application: the translation of Qt's modifier names.
void InstallKeyNames();

}  // namespace korvane
