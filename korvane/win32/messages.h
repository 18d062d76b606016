// The boxes of Korvane on Windows: a warning, a plain message, a yes/no
// question whose buttons say "Oui" and "Non" whatever the language of
// Windows. Each is modal to the window the user is in.
#pragma once

#include <windows.h>

#include <string>

namespace korvane::win32 {

void ShowWarning(HWND owner, const std::string& text);
void ShowMessage(HWND owner, const std::string& text);
bool AskYesNo(HWND owner, const std::string& question);

}  // namespace korvane::win32
