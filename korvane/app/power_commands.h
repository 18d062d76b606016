// The power commands: "ON" wakes an entry, "OFF" shuts it down, and
// "Redémarrer" restarts it (a group: each of its computers); "Tester
// l'accès" asks each computer something harmless. Each command is a script
// in the program folder, one line per computer, started detached; a failure
// is told as soon as its report comes back, and five minutes later the
// follow-up checks whether it took effect. A protected computer is never
// shut down nor restarted, and a computer whose address another device took
// is given nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "korvane/app/address_holders.h"
#include "korvane/app/app_context.h"
#include "korvane/app/follow_ups.h"
#include "korvane/app/notifications.h"
#include "korvane/app/requests.h"
#include "korvane/app/scans.h"
#include "korvane/core/power.h"
#include "korvane/core/sshpower.h"

namespace korvane {

// What became of a command, for a caller that waits for it (a request of
// the web page, say): refused before anything was sent, or sent and its
// script's report read.
struct PowerOutcome {
    bool sent = false;
    // Sent, but a computer's command failed, or the report could not be
    // read: the command may not have reached every computer.
    bool failed = false;
    // Why it was refused; once sent, what went wrong (computers of a group
    // left out, failures, a report that could not be read) or the access
    // test's answer; empty when every computer took its command.
    std::string message;
};
using PowerDone = std::function<void(const PowerOutcome&)>;

// Who gave a command: the user at the window, the plan (nobody clicked: a
// failure is also notified), or someone on the network through the web page
// (told in the console log and the status bar, never by a box: the page
// shows the outcome, and nobody at the desk may be there to close it).
enum class CommandOrigin { Window, Plan, Network };

class PowerCommands {
  public:
    PowerCommands(AppContext& ctx, Requests& requests, AddressHolders& holders, Scans& scans,
                  FollowUps& followUps, Notifications& notifications)
        : ctx_(ctx),
          requests_(requests),
          holders_(holders),
          scans_(scans),
          followUps_(followUps),
          notifications_(notifications) {}

    // The command for the entry `name`; false when it was refused (told).
    // A planned command that fails is also told by a notification, nobody
    // having clicked it. `done`, when given, learns the outcome once: at
    // once for a refusal, when the script's report is read otherwise (never
    // when Korvane ends first, nor when a later request took the report's
    // slot). `followed`, when given, learns the follow-up's verdict.
    bool Run(PowerAction action, const std::string& name,
             CommandOrigin origin = CommandOrigin::Window, PowerDone done = {},
             FollowUpDone followed = {});

  private:
    // Who gave the command, and who waits for its outcome.
    struct Caller {
        CommandOrigin origin = CommandOrigin::Window;
        PowerDone done;
        FollowUpDone followed;
        bool Planned() const { return origin == CommandOrigin::Plan; }
        void Tell(bool sent, const std::string& message, bool failed = false) const {
            if (done) done({sent, failed, message});
        }
    };
    // What the script's report is read against.
    struct Sent {
        PowerAction action;
        toolkit::TextList computers;
        std::vector<bool> overSsh;
        std::string leftOut;  // the refusals of the computers left out
    };

    bool PowerUp(const std::string& name, const Caller& caller);
    bool RemotePower(PowerAction action, const std::string& name, const Caller& caller);
    bool RefuseProtected(PowerAction action, const std::string& name, const Caller& caller);
    std::vector<PowerCommand> RemoteCommands(PowerAction action, const toolkit::TextList& computers,
                                             const SshList& ssh);
    bool RunPowerScript(PowerAction action, const std::string& name,
                        const toolkit::TextList& computers,
                        const std::vector<PowerCommand>& commands, const Caller& caller);
    void ReadPowerReport(const Sent& sent, const Caller& caller, int slot);
    void Refuse(const std::string& refusal, const Caller& caller);
    // A box for the window's user; the status bar for the others.
    void Warn(const std::string& text, const Caller& caller);

    AppContext& ctx_;
    Requests& requests_;
    AddressHolders& holders_;
    Scans& scans_;
    FollowUps& followUps_;
    Notifications& notifications_;
};

}  // namespace korvane
