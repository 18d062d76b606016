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
#include "protection.h"
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

// The name typed joins the protected list, or leaves it when it was there
// and the user agrees. "Annuler" changes nothing.
void TForm1::Nejamaisteindre1Click() {
    const Answer answer =
        AskLine(QStringLiteral("Entrer le nom de la machine à ne jamais éteindre :"), QString());
    const std::string name = toolkit::Trim(answer.text.toStdString());
    if (answer.result != kResultOK || name.empty()) return;
    const std::string dir = toolkit::ProgramDir();
    try {
        const TextList list = LoadProtected(dir);
        switch (ClassifyProtect(list, name)) {
            case ProtectChange::Invalid:
                ShowWarning(this, Q("Nom refusé : « " + name +
                                    " ». Lettres, chiffres, « . », « - » et « _ » seulement."));
                return;
            case ProtectChange::Add:
                SaveProtected(dir, WithProtected(list, name));
                ShowMessage(this, Q("« " + name + " » ne sera jamais éteint par Korvane."));
                break;
            case ProtectChange::OfferRemoval:
                if (!AskYesNo(this, Q("« " + name +
                                      " » est déjà dans la liste des machines à ne jamais "
                                      "éteindre. L'en retirer ?"))) {
                    return;
                }
                SaveProtected(dir, WithoutProtected(list, name));
                ShowMessage(this, Q("« " + name + " » peut de nouveau être éteint."));
                break;
        }
    } catch (const toolkit::FileError& error) {
        ReportError(std::string("La liste des machines protégées n'a pas été modifiée : ") +
                    error.what());
        return;
    }
    Redraw_network();
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
        AskLine(QStringLiteral("Commentaire pour le groupe de machines :"), HintComment(button));
    if (answer.result != kResultOK) return;
    button->setToolTip(answer.text);
    if (entry < Krv().ManagedList.size()) {
        // Kept for the session, so that the next rebuild of the map gives it back.
        comments_[Krv().ManagedList[entry]] = answer.text;
        DecorateEntry(static_cast<int>(entry), Krv().ManagedList[entry]);
    }
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
