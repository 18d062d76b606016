// "korvane --acces-web": the access from the network turned on from a
// terminal, for a Korvane with no window (a planner on a server). The
// password is asked twice, never taken from the command line (where every
// user of the machine could read it); the settings are written by the
// store, atomically and readable by their owner only, and the page's address
// is told. A planner already running applies them at its next tick.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "korvane/app/web_serving.h"

namespace korvane {

// One line of input, a secret (toolkit::platform::ReadSecretLine); nullopt
// at the end of the input.
using SecretReader = std::function<std::optional<std::string>(const std::string& prompt)>;

struct AccessSetupInput {
    std::string programDir;              // trailing "/"
    std::vector<std::string> arguments;  // after "--acces-web": "--port N" only
    SecretReader read;
    bool terminal = false;  // a wrong password may be typed again
};

// Returns the program's exit status: 0 when the access is on, 1 when nothing
// changed (the reason written on `err`).
int SetUpWebAccess(const AccessSetupInput& input, const WebServingMaker& maker, std::ostream& out,
                   std::ostream& err);

// The program files' entry: the folder, the terminal and the standard streams.
int RunWebAccessSetup(const std::vector<std::string>& arguments, const WebServingMaker& maker);

}  // namespace korvane
