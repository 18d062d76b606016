#include "korvane/app/command_table.h"

#include <algorithm>
#include <array>

#include "korvane/app/texts.h"

namespace korvane {

namespace {

constexpr KeyChord Ctrl(char letter) {
    return {true, false, letter, 0};
}
constexpr KeyChord CtrlShift(char letter) {
    return {true, true, letter, 0};
}
constexpr KeyChord Function(int number) {
    return {false, false, 0, number};
}

// In the order of Command, so that a command is its own index.
constexpr std::array<CommandInfo, 14> kCommands{{
    {Command::Quit, "Quitter1", text::kMenuQuit, 0, Ctrl('Q')},
    {Command::Preferences, "Prfrences1", text::kMenuPreferences, 0, Ctrl('P')},
    {Command::AddComputers, "Dfinir1", text::kMenuAdd, 0, Ctrl('N')},
    {Command::NeverOff, "Nejamaisteindre1", text::kMenuNeverOff, 0, Ctrl('J')},
    {Command::SshKey, "CleSsh1", text::kMenuSshKey, 0, {}},
    {Command::WolIncidents, "IncidentsWOL1", text::kMenuWolIncidents, 10, Ctrl('I')},
    {Command::ShutdownIncidents, "Incidentsshutdown1", text::kMenuShutdownIncidents, 10,
     CtrlShift('I')},
    {Command::MachineList, "Listemachines1", text::kMenuMachineList, 0, Ctrl('L')},
    {Command::Console, "Console1", text::kMenuConsole, 0, Ctrl('K')},
    {Command::Energy, "Consommation1", text::kMenuEnergy, 1, Ctrl('E')},
    {Command::About, "Apropos1", text::kMenuAbout, 0, Function(1)},
    {Command::Comment, "Commentaire1", text::kMenuComment, 0, {}},
    {Command::Rename, "Renommer1", text::kMenuRename, 0, {}},
    {Command::EntryEnergy, "ConsommationEntry1", text::kMenuEnergy, 1, {}},
}};

constexpr bool InCommandOrder() {
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        if (static_cast<std::size_t>(kCommands[i].command) != i) return false;
    }
    return true;
}
static_assert(InCommandOrder(), "kCommands must follow the order of Command");

constexpr Command kFile[] = {Command::Quit};
constexpr Command kEdit[] = {Command::Preferences};
constexpr Command kComputers[] = {Command::AddComputers, Command::NeverOff, Command::SshKey};
constexpr Command kReports[] = {Command::WolIncidents, Command::ShutdownIncidents,
                                Command::MachineList, Command::Console, Command::Energy};
constexpr Command kHelp[] = {Command::About};
constexpr Command kEntry[] = {Command::Comment, Command::Rename, Command::EntryEnergy};

constexpr MenuInfo kMenus[] = {
    {"Fichier1", text::kMenuFile, 0, kFile},
    {"Edition1", text::kMenuEdit, 0, kEdit},
    {"Ordinateurs1", text::kMenuComputers, 0, kComputers},
    {"Rapports1", text::kMenuReports, 0, kReports},
    {"Aide1", text::kMenuHelp, 0, kHelp},
};

}  // namespace

const CommandInfo& InfoOf(Command command) {
    return kCommands.at(static_cast<std::size_t>(command));
}

std::span<const CommandInfo> AllCommands() {
    return kCommands;
}

std::span<const MenuInfo> MainMenus() {
    return kMenus;
}

std::span<const Command> EntryMenu() {
    return kEntry;
}

std::string MnemonicText(const char* text, std::size_t mnemonic) {
    std::string marked = text;
    marked.insert(std::min(mnemonic, marked.size()), 1, '&');
    return marked;
}

std::string KeyText(const KeyChord& keys) {
    if (keys.Empty()) return {};
    std::string shown;
    if (keys.control) shown += std::string(text::kKeyControl) + "+";
    if (keys.shift) shown += std::string(text::kKeyShift) + "+";
    if (keys.letter != 0) return shown + keys.letter;
    return shown + "F" + std::to_string(keys.function);
}

}  // namespace korvane
