// The commands of the menus that change files or the map: "Ne jamais
// éteindre...", "Créer la clé SSH", "Liste machines", the pop-up menu's
// comment and renaming, and the preferences dialog.
#pragma once

#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/network_map.h"
#include "korvane/app/planner.h"

namespace korvane {

struct Preferences;

class Menus {
  public:
    Menus(AppContext& ctx, Planner& planner, NetworkMap& map)
        : ctx_(ctx), planner_(planner), map_(map) {}

    void Protect(const std::string& typed);
    void CreateSshKey();
    void ExportMachineList();
    void SetComment(int entry, const std::string& text);
    void Rename(int entry, const std::string& typed);
    Preferences CurrentPreferences();
    bool SavePreferences(const Preferences& typed);

  private:
    AppContext& ctx_;
    Planner& planner_;
    NetworkMap& map_;
};

}  // namespace korvane
