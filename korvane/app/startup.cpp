#include "korvane/app/startup.h"

#include <filesystem>

#include "korvane/app/texts.h"
#include "korvane/core/intake.h"
#include "korvane/core/mapgrid.h"
#include "korvane/core/polling.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

void LoadListFiles(AppContext& ctx) {
    KrvVar& krv = ctx.krv;
    const std::pair<const char*, TextList*> lists[] = {
        {"liste.mac", &krv.MacList},     {"liste.ip", &krv.IpList},
        {"liste.patch", &krv.PatchList}, {"liste.ip.discover", &krv.DiscoverList},
        {"liste.known", &krv.EntryIPs},
    };
    for (const auto& [file, list] : lists) {
        try {
            *list = LoadOrCreateList(file);
        } catch (const toolkit::FileError& error) {
            ctx.view.Warn(error.what());
        }
    }
}

void LoadSettings(AppContext& ctx, const std::vector<Rect>& screens) {
    Settings& settings = ctx.krv.settings;
    settings.nbyrow = 3;
    try {
        ctx.krv.LoadSettings();
    } catch (const toolkit::FileError& error) {
        ctx.view.Warn(error.what());
    }
    if (screens.empty()) return;
    const WindowPlace place = PlaceWindow({settings.left, settings.top, settings.height},
                                          MapWidth(settings.nbyrow), screens);
    settings.left = place.left;
    settings.top = place.top;
    settings.height = place.height;
}

void ReadLocalNetwork(AppContext& ctx) {
    toolkit::LoadLocalAddressTable(ctx.krv.LocalAddresses, ctx.krv.LocalMasks);
    try {
        ctx.localHost = toolkit::ReadIpConfig();
    } catch (const std::exception& error) {  // FileError, ScratchError
        ctx.localHost = {};
        ctx.view.Warn(std::string(text::kNetworkUnreadable) + error.what());
    }
}

}  // namespace

void EnterProgramFolder(MainView& view, const std::string& programDir) {
    std::error_code ignored;
    std::filesystem::current_path(programDir, ignored);
    // Every batch file names a program of this folder: one it cannot name
    // would leave the map still for good, so it is said at once.
    if (const std::string lacking = toolkit::platform::BatchMissingCharacter(programDir);
        !lacking.empty()) {
        view.Warn(text::kProgramFolderUnfit + programDir + text::kProgramFolderUnfitCharacter +
                  lacking + text::kProgramFolderUnfitWhy);
    }
    toolkit::platform::RemoveStaleTemporaries(programDir);
    try {
        RemoveEarlierRunFiles(toolkit::ScratchDir());
    } catch (const toolkit::ScratchError&) {
        // Told where the folder is first needed, by the network settings.
    }
}

void ReadListsAndSettings(AppContext& ctx, const std::vector<Rect>& screens) {
    ctx.krv = KrvVar{};
    LoadListFiles(ctx);
    LoadSettings(ctx, screens);
    ReadLocalNetwork(ctx);
}

void ReadManagedList(AppContext& ctx, const std::string& programDir) {
    ctx.krv.OtherGroupName = "Autres";
    try {
        ctx.krv.ManagedList = LoadOrCreateList(programDir + kManagedFile);
    } catch (const toolkit::FileError& error) {
        ctx.view.Warn(error.what());
    }
}

void SaveSettingsAtExit(AppContext& ctx, int left, int top, int height) {
    std::string failures;
    try {
        ctx.krv.SaveSettings(left, top, height);
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    const TextList& managed = ctx.krv.ManagedList;
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + kEntrySettingsFile,
                           EntrySettingsLines(managed, static_cast<int>(managed.size()) - 1));
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    if (!failures.empty()) ctx.view.Warn(text::kSettingsNotSaved + failures);
}

}  // namespace korvane
