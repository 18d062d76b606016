// The power commands: "ON" wakes an entry, "OFF" shuts it down, and
// "Redémarrer" restarts it (a group: each of its computers); "Tester
// l'accès" asks each computer something harmless. Each command is a script
// in the program folder, one line per computer, started detached; a failure
// is told as soon as its report comes back, and five minutes later the
// follow-up checks whether it took effect. A protected computer is never
// shut down nor restarted, and a computer whose address another device took
// is given nothing.
#pragma once

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
    // having clicked it.
    bool Run(PowerAction action, const std::string& name, bool planned = false);

  private:
    bool PowerUp(const std::string& name, bool planned);
    bool RemotePower(PowerAction action, const std::string& name, bool planned);
    bool RefuseProtected(PowerAction action, const std::string& name, bool planned);
    std::vector<PowerCommand> RemoteCommands(PowerAction action, const toolkit::TextList& computers,
                                             const SshList& ssh);
    bool RunPowerScript(PowerAction action, const std::string& name,
                        const toolkit::TextList& computers,
                        const std::vector<PowerCommand>& commands, bool planned);
    void ReadPowerReport(PowerAction action, const toolkit::TextList& computers,
                         const std::vector<bool>& overSsh, bool planned, int slot);
    void Refuse(const std::string& refusal, bool planned);

    AppContext& ctx_;
    Requests& requests_;
    AddressHolders& holders_;
    Scans& scans_;
    FollowUps& followUps_;
    Notifications& notifications_;
};

}  // namespace korvane
