#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollArea>
#include <QStatusBar>
#include <QUrl>

#include "forms.h"
#include "keys.h"
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "messages.h"
#include "notifier.h"
#include "tools.h"
#include "uAddMachines.h"
#include "uBottomdlg.h"
#include "uapropos.h"
#include "ucomingsoon.h"
#include "uconsole.h"
#include "uenergy.h"
#include "umachine.h"
#include "uprefs.h"

namespace korvane {

namespace {

constexpr int kHintDelay = 200;

// Tooltips appear after 200 ms, for every window of the program.
class HintStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return kHintDelay;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLabel* StaticText(QWidget* parent, const QString& text, const QColor& background, bool bold) {
    QLabel* label = DataLabel(parent);
    label->setText(text);
    label->setAlignment(Qt::AlignCenter);
    Paint(label, background);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    return label;
}

// A picture that cannot be read is replaced by a plain one of the width that
// carries its meaning, so the map still tells on from off.
QPixmap StandInPicture(int width) {
    QPixmap standIn(width, width == 20 ? 20 : 48);
    standIn.fill(width == kOnGlyphWidth ? QColor(170, 210, 240) : QColor(128, 128, 128));
    return standIn;
}

}  // namespace

// --- creation ----------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    BuildControls();
    LoadPictures();
    routeur->SetGlyph(BoxOff);
    scan_led->setPixmap(LedGrey);
    QApplication::setStyle(new HintStyle);
    notifier_ = new DesktopNotifier(this);
    notifier_->Clicked = [this](const Notice& notice) {
        if (app_ != nullptr) app_->NoticeClicked(notice);
    };
}

void TForm1::BuildControls() {
    setWindowTitle(QString::fromUtf8(text::kTitle));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    // The map scrolls when its entries need more room than the window gives.
    mapArea_ = new QScrollArea(this);
    mapArea_->setObjectName(QStringLiteral("carte"));
    mapArea_->setFrameShape(QFrame::NoFrame);
    client_ = new QWidget;
    Paint(client_, kCream);
    mapArea_->setWidget(client_);
    setCentralWidget(mapArea_);
    Bevel1 = new QFrame(client_);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Raised);
    Bevel1->setGeometry(0, 0, 945, 3);
    BuildPanel(client_);
    BuildGateway(client_);
    console = new QPlainTextEdit(client_);
    console->setObjectName(QStringLiteral("console"));
    console->setGeometry(256, 152, 289, 81);
    console->setReadOnly(true);
    console->setStyleSheet(QStringLiteral("background: black; color: rgb(255, 255, 225);"));
    console->hide();
    StatusMain = new QStatusBar(this);
    StatusMain->setFixedHeight(19);
    setStatusBar(StatusMain);
    BuildMenus();
    move(198, 103);
    resize(556, 254 + menuBar()->sizeHint().height() + 19);
}

void TForm1::BuildPanel(QWidget* client) {
    Panel1 = new QFrame(client);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setGeometry(0, 0, 417, 25);
    Label1 = new QLabel(QString::fromUtf8(text::kScanLight), Panel1);
    Label1->move(88, 4);
    scan_led = new QLabel(Panel1);
    scan_led->setGeometry(192, 3, 20, 20);
    Label2 = new QLabel(QString::fromUtf8(text::kPollLight), Panel1);
    Label2->move(280, 4);
    ping_led = new QLabel(Panel1);
    ping_led->setGeometry(360, 3, 20, 20);
}

void TForm1::BuildGateway(QWidget* client) {
    routeur = new GlyphButton(client);
    routeur->setObjectName(QStringLiteral("routeur"));
    routeur->setAutoRaise(true);
    routeur->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    routeur->setStyleSheet(QStringLiteral("QToolButton { padding: 0px; font-weight: bold; }"));
    routeur->setGeometry(64, 52, 70, 61);
    connect(routeur, &QToolButton::clicked, this, &TForm1::routeurClick);
    gw_nom = StaticText(client, QStringLiteral("nom"), kYellow, true);
    gw_nom->setGeometry(48, 112, 97, 15);
    gw_ip = StaticText(client, QStringLiteral("ip"), kYellow, false);
    gw_ip->setGeometry(48, 127, 97, 15);
}

// The menus and their keys from the app's table: the same texts, mnemonics
// and keys as every window of Korvane.
void TForm1::BuildMenus() {
    InstallKeyNames();
    MainMenu1 = menuBar();
    const auto add = [this](QMenu* menu, Command command, bool ofEntry) {
        const CommandInfo& info = InfoOf(command);
        QAction* action = menu->addAction(Q(MnemonicText(info.text, info.mnemonic)));
        action->setObjectName(QString::fromLatin1(info.name));
        if (!info.keys.Empty()) action->setShortcut(KeySequence(info.keys));
        connect(action, &QAction::triggered, this, [this, command, ofEntry] {
            if (app_ != nullptr) app_->Run(command, ofEntry ? selectedEntry_ : -1);
        });
    };
    for (const MenuInfo& info : MainMenus()) {
        QMenu* menu = MainMenu1->addMenu(Q(MnemonicText(info.text, info.mnemonic)));
        menu->setObjectName(QString::fromLatin1(info.name));
        for (const Command command : info.items) add(menu, command, false);
    }
    popupGM = new QMenu(this);
    popupGM->setObjectName(QStringLiteral("popupGM"));
    for (const Command command : EntryMenu()) add(popupGM, command, true);
}

void TForm1::LoadPictures() {
    const std::pair<QPixmap*, std::pair<const char*, int>> pictures[] = {
        {&LedRed, {"led-rouge.bmp", 20}},
        {&LedGreen, {"led-vert.bmp", 20}},
        {&LedOrange, {"led-orange.bmp", 20}},
        {&LedGrey, {"led-gris.bmp", 20}},
        {&ScreenOn, {"ecran-on.bmp", kOnGlyphWidth}},
        {&ScreenOff, {"ecran-off.bmp", kOffGlyphWidth}},
        {&BoxOn, {"neufbox_on.bmp", kOnGlyphWidth}},
        {&BoxOff, {"neufbox_off.bmp", kOffGlyphWidth}},
    };
    // From the program folder, wherever Korvane was started from: the app
    // enters it only at its start, after the window is made.
    QStringList missing;
    for (const auto& [picture, source] : pictures) {
        *picture = QPixmap(Q(toolkit::ProgramDir() + source.first));
        if (!picture->isNull()) continue;
        missing << QString::fromLatin1(source.first);
        *picture = StandInPicture(source.second);
    }
    if (!missing.isEmpty()) {
        StatusMain->showMessage(QString::fromUtf8(text::kPicturesMissing) +
                                missing.join(QStringLiteral(", ")));
    }
}

// --- the view ------------------------------------------------------------

void TForm1::ShowScanLight(Light light) {
    scan_led->setPixmap(light == Light::Green ? LedGreen : LedGrey);
}

void TForm1::ShowPollLight(Light light) {
    ping_led->setPixmap(light == Light::Orange ? LedOrange : LedGrey);
}

void TForm1::ShowStatus(const std::string& text) {
    if (text.empty()) {
        StatusMain->clearMessage();
    } else {
        StatusMain->showMessage(Q(text));
    }
}

void TForm1::AppendConsole(const std::string& line) {
    console->appendPlainText(Q(line));
}

void TForm1::Warn(const std::string& text) {
    ShowWarning(this, Q(text));
}

void TForm1::Inform(const std::string& text) {
    ShowMessage(this, Q(text));
}

bool TForm1::AskYesNo(const std::string& question) {
    return korvane::AskYesNo(this, Q(question));
}

void TForm1::OpenUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(Q(url)));
}

bool TForm1::Notify(const Notice& notice) {
    return notifier_->Send(notice);
}

std::optional<std::string> TForm1::AskLine(const std::string& prompt, const std::string& initial) {
    if (Application() == nullptr || Application()->OKBottomDlg() == nullptr) return std::nullopt;
    TOKBottomDlg* dialog = Application()->OKBottomDlg();
    dialog->geditLabel->setText(Q(prompt));
    dialog->gEdit->setText(Q(initial));
    if (dialog->exec() != kResultOK) return std::nullopt;
    return dialog->gEdit->text().toStdString();
}

CardAnswer TForm1::AskCard(const EntryCard& card) {
    if (Application() == nullptr || Application()->machines() == nullptr) {
        return {CardChoice::Cancel, card};
    }
    return Application()->machines()->Ask(card);
}

void TForm1::Open(Window window, const toolkit::TextList& entries) {
    Forms* forms = Application();
    if (forms == nullptr) return;
    switch (window) {
        case Window::Preferences:
            if (forms->Prefs() != nullptr) forms->Prefs()->exec();
            break;
        case Window::Intake:
            if (forms->AddMachine() != nullptr) forms->AddMachine()->exec();
            break;
        case Window::Console:
            // Not modal: it follows the log as it grows.
            if (forms->Console() != nullptr) forms->Console()->ShowLog(console);
            break;
        case Window::Energy:
            if (forms->EnergyReport() != nullptr) forms->EnergyReport()->ShowFor(entries);
            break;
        case Window::About:
            if (forms->AboutBox() != nullptr) forms->AboutBox()->exec();
            break;
    }
}

void TForm1::ShowIntakeRows(const IntakeRows& rows) {
    if (Application() != nullptr && Application()->AddMachine() != nullptr) {
        Application()->AddMachine()->ShowRows(rows);
    }
}

toolkit::TextList TForm1::IntakeMemo() {
    if (Application() == nullptr || Application()->AddMachine() == nullptr) return {};
    return Application()->AddMachine()->MemoLines();
}

void TForm1::Quit() {
    QCoreApplication::quit();
}

// --- show, resize, exit ------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TForm1::FormShow() {
    if (app_ == nullptr) return;
    const Settings& settings = app_->CurrentSettings();
    resize(width(), settings.height);
    move(settings.left, settings.top);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    if (app_ != nullptr) app_->WindowResized(height());
    if (mapArea_ != nullptr) FitMapContent();
    console->move(10, height() - console->height() - 80);
    Panel1->resize(width() - 8, Panel1->height());
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::quit();
}

// --- clicks and menus ----------------------------------------------------

void TForm1::routeurClick() {
    app_->routeurClick();
}

void TForm1::machineClick(GlyphButton* sender) {
    if (app_ != nullptr) app_->EntryClicked(sender->Tag);
}

// A right click on a map button makes its entry the current one.
void TForm1::ShowEntryMenu(GlyphButton* button, const QPoint& where) {
    selectedEntry_ = button->Tag;
    popupGM->popup(button->mapToGlobal(where));
}

}  // namespace korvane
