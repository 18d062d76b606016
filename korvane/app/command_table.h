// The commands of Korvane's menus, each declared once: its object name, its
// text, its mnemonic and its keys. The main menus and the entry's pop-up menu
// are arrays of them. Every window layer builds its menus and accelerators
// from this table and hands the chosen command to KorvaneApp::Run, so that
// the windows cannot drift apart in what they offer or how it is reached.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace korvane {

enum class Command {
    Quit,
    Preferences,
    AddComputers,
    NeverOff,
    SshKey,
    WolIncidents,
    ShutdownIncidents,
    MachineList,
    Console,
    Energy,
    About,
    // The entry's pop-up menu: they act on the entry it was opened on.
    Comment,
    Rename,
    EntryEnergy,
};

// A key combination: Ctrl (and Shift) with a letter, or a function key.
struct KeyChord {
    bool control = false;
    bool shift = false;
    char letter = 0;   // 'A' to 'Z', or 0
    int function = 0;  // 1 to 12 for F1 to F12, or 0
    bool Empty() const { return letter == 0 && function == 0; }
};

struct CommandInfo {
    Command command;
    const char* name;      // the menu item's object name, which tests find it by
    const char* text;      // its French text (texts.h)
    std::size_t mnemonic;  // the byte of `text` the user types with Alt
    KeyChord keys;         // none for most
};

struct MenuInfo {
    const char* name;
    const char* text;
    std::size_t mnemonic;
    std::span<const Command> items;
};

const CommandInfo& InfoOf(Command command);
// Every command, in the order of the menus.
std::span<const CommandInfo> AllCommands();
// "Fichier" to "Aide", left to right.
std::span<const MenuInfo> MainMenus();
// The pop-up menu of a map entry.
std::span<const Command> EntryMenu();

// The text with "&" before its mnemonic, as both toolkits mark it.
std::string MnemonicText(const char* text, std::size_t mnemonic);
// "Ctrl+Q", "Ctrl+Maj+I", "F1"; empty for none.
std::string KeyText(const KeyChord& keys);

// The modal results of Korvane's dialogs.
inline constexpr int kResultOK = 1;
inline constexpr int kResultCancel = 2;

// How the on/off dialog closed: "ON", "OFF", "Redémarrer", "Tester
// l'accès", or neither ("Annuler", the close box, Escape). The values are
// the dialogs' modal results.
enum class CardChoice : int {
    Cancel = kResultCancel,
    On = 6,
    Off = 7,
    Restart = 8,
    TestAccess = 9
};

}  // namespace korvane
