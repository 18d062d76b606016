// What a window layer shows of Korvane's main window, and the few questions
// it asks the user. The app layer decides everything; a view only draws what
// it is given and forwards the user's clicks to the app (KorvaneApp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "korvane/app/command_table.h"
#include "korvane/core/intake.h"
#include "korvane/core/notices.h"

namespace korvane {

// The two lights of the top panel.
enum class Light { Grey, Green, Orange };

// A managed entry as its cell of the map shows it.
struct MapEntry {
    std::string caption;  // the name in upper case (ASCII letters)
    std::string address;  // the address caption
    std::string mac;      // the hardware address caption (hidden)
    bool shown = true;    // false: at a server's address, the map leaves it out
    bool up = false;      // on: the picture 67 px wide; off: 69 px
    std::string hint;     // the tooltip: comment, protection, next planned action
    bool isProtected = false;
    // Another device holds the address (the tooltip says which): shown off,
    // the address caption in red.
    bool addressTaken = false;
    bool operator==(const MapEntry&) const = default;
};

// The gateway's cell, the map's first.
struct MapGateway {
    bool known = false;  // the adapter listing named a gateway
    std::string name;
    std::string address;
    bool up = false;
    bool operator==(const MapGateway&) const = default;
};

struct MapState {
    int nbyrow = 3;
    int height = 300;      // the window's height the settings hold
    bool rebuild = false;  // every control goes and is made again at its cell
    MapGateway gateway;
    std::vector<MapEntry> entries;  // in inventory order: entry i in cell i + 1
};

// What the on/off dialog shows of an entry.
struct EntryCard {
    std::string caption;
    std::string address;
    std::string mac;
    std::string wakeUp;  // "7:05", "0:00" for none
    std::string shutdown;
    bool overSsh = false;  // shut down over SSH (liste.ssh), as this user
    std::string sshUser;
};

// How the on/off dialog closed, with its times and SSH fields as the user
// left them.
struct CardAnswer {
    CardChoice choice = CardChoice::Cancel;
    EntryCard card;
};

// The windows that commands open.
enum class Window {
    Preferences,  // modal
    Intake,       // modal; its rows come from ShowIntakeRows
    Console,      // beside the main window
    Energy,       // beside the main window, for the entries given
    About,        // modal
};

class MainView {
  public:
    virtual ~MainView() = default;
    // Entries beyond those given keep their controls until a rebuild.
    virtual void ShowMap(const MapState& map) = 0;
    virtual void ShowScanLight(Light light) = 0;
    virtual void ShowPollLight(Light light) = 0;
    // The status bar; an empty text clears it.
    virtual void ShowStatus(const std::string& text) = 0;
    // One more line of the (hidden) console log.
    virtual void AppendConsole(const std::string& line) = 0;
    // A box the user closes: a warning, a plain message.
    virtual void Warn(const std::string& text) = 0;
    virtual void Inform(const std::string& text) = 0;
    // "Oui" (true) or "Non".
    virtual bool AskYesNo(const std::string& question) = 0;
    // The desktop's browser, for the gateway's page.
    virtual void OpenUrl(const std::string& url) = 0;
    // A desktop notification; a click on it opens the intake dialog (new
    // devices), the incidents report of its kind, or the console (a planned
    // action that failed). False when nothing can show it.
    virtual bool Notify(const Notice& notice) = 0;

    // The one-line dialog with its prompt and initial text: the text typed
    // on "OK", nothing on "Annuler" or the close box.
    virtual std::optional<std::string> AskLine(const std::string& prompt,
                                               const std::string& initial) = 0;
    // The on/off dialog of an entry, until it closes; a view that cannot
    // show it gives Cancel and the card unchanged.
    virtual CardAnswer AskCard(const EntryCard& card) = 0;
    // Opens a window; a modal one returns when it closes. `entries` are the
    // energy report's computers.
    virtual void Open(Window window, const toolkit::TextList& entries) = 0;
    // The intake window's seven rows, and its list of managed entries as the
    // user is typing it.
    virtual void ShowIntakeRows(const IntakeRows& rows) = 0;
    virtual toolkit::TextList IntakeMemo() = 0;
    // Ends the message loop, as "Quitter"; Korvane's exit follows it.
    virtual void Quit() = 0;
};

}  // namespace korvane
