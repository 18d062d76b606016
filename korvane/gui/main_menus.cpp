// TForm1, the menu commands of this file: "Ne jamais éteindre...", the
// machine list export, and the map buttons' pop-up menu ("Commentaire",
// "Renommer"), which all ask through the one-line input dialog.
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

#include "KrvVar.h"
#include "commands.h"
#include "export.h"
#include "followup.h"
#include "forms.h"
#include "main.h"
#include "messages.h"
#include "tools.h"
#include "uBottomdlg.h"

namespace korvane {

namespace {

struct Answer {
    QString text;
    int result = kResultCancel;
};

// The calling order every caller follows: prompt, initial text, show, read.
Answer AskLine(const QString& prompt, const QString& initial) {
    if (Application() == nullptr || Application()->OKBottomDlg() == nullptr) return {};
    TOKBottomDlg* dialog = Application()->OKBottomDlg();
    dialog->geditLabel->setText(prompt);
    dialog->gEdit->setText(initial);
    const int result = dialog->exec();
    return {dialog->gEdit->text(), result};
}

}  // namespace

// Nothing is kept: the text typed is only shown back, after "OK" as after
// "Annuler", and no shutdown consults it.
void TForm1::Nejamaisteindre1Click() {
    const Answer answer =
        AskLine(QStringLiteral("Entrer le nom de la machine à ne jamais éteindre :"), QString());
    ShowMessage(this, answer.text);
}

void TForm1::Listemachines1Click() {
    const KrvVar& krv = Krv();
    const std::string path = toolkit::ProgramDir() + kMachineListFile;
    std::vector<std::string> skipped;
    try {
        const TextList lines = MachineListLines(
            krv.ManagedList, [](const std::string& entry) { return LoadGroupFile(entry); },
            krv.IpList, krv.MacList, &skipped);
        toolkit::SaveLines(path, lines);
    } catch (const toolkit::FileError& error) {
        ReportError(std::string("La liste des machines n'a pas été exportée : ") + error.what());
        return;
    }
    // One entry that cannot be read costs the others nothing; the user learns which.
    if (!skipped.empty()) {
        std::string message = "Liste des machines exportée sans ces entrées :";
        for (const auto& line : skipped) message += "\n" + line;
        Log(message);
        ReportError(message);
    }
    OpenSavedReport(path);
}

// A right click on a map button makes its entry the current one.
void TForm1::ShowEntryMenu(GlyphButton* button, const QPoint& where) {
    Krv().SelectedEntry = button->Tag;
    popupGM->popup(button->mapToGlobal(where));
}

// "Annuler" leaves the hint as it was.
void TForm1::Commentaire1Click() {
    const auto entry = static_cast<std::size_t>(Krv().SelectedEntry);
    if (entry >= EntryButtons.size() || EntryButtons[entry] == nullptr) return;
    GlyphButton* button = EntryButtons[entry];
    const Answer answer =
        AskLine(QStringLiteral("Commentaire pour le groupe de machines :"), button->toolTip());
    if (answer.result != kResultOK) return;
    button->setToolTip(answer.text);
    // Kept for the session, so that the next rebuild of the map gives it back.
    if (entry < Krv().ManagedList.size()) comments_[Krv().ManagedList[entry]] = answer.text;
}

// The new name is checked like any entry name before anything moves;
// "Annuler" renames nothing.
void TForm1::Renommer1Click() {
    KrvVar& krv = Krv();
    const auto entry = static_cast<std::size_t>(krv.SelectedEntry);
    if (entry >= krv.ManagedList.size()) return;
    const std::string oldName = krv.ManagedList[entry];
    const Answer answer =
        AskLine(QStringLiteral("Donner un joli nom pour désigner cet ordinateur :"), Q(oldName));
    const std::string newName = toolkit::Trim(answer.text.toStdString());
    if (answer.result != kResultOK || newName == oldName) return;
    const std::string programDir = toolkit::ProgramDir();
    const std::string problem = RenameProblem(krv.ManagedList, entry, newName, programDir);
    if (!problem.empty()) {
        ShowWarning(this, Q(problem));
        return;
    }
    try {
        const std::string moveProblem = RenameEntry(krv.ManagedList, entry, newName, programDir);
        if (!moveProblem.empty()) Log(moveProblem);
    } catch (const toolkit::FileError& error) {
        ReportError(error.what());
        return;
    }
    if (entry < NameCaptions.size() && NameCaptions[entry] != nullptr) {
        NameCaptions[entry]->setText(Q(toolkit::AsciiUpper(newName)));
    }
    // The comment follows its entry under the new name.
    if (const auto comment = comments_.extract(oldName)) {
        comments_[newName] = comment.mapped();
    }
}

}  // namespace korvane
