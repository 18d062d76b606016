#include "main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QUrl>
#include <filesystem>

#include "KrvVar.h"
#include "forms.h"
#include "mapgrid.h"
#include "messages.h"
#include "placement.h"
#include "platform/platform.h"
#include "polling.h"
#include "raw_ping.h"
#include "timescale.h"
#include "tools.h"
#include "uAddMachines.h"
#include "uapropos.h"
#include "ucomingsoon.h"
#include "uconsole.h"
#include "umachine.h"
#include "uprefs.h"

namespace korvane {

namespace {

constexpr int kRedrawInterval = 10000;
constexpr int kScanInterval = 60000;
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

}  // namespace

// --- creation ----------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    BuildControls();
    FormCreate();
}

// The program folder becomes the current folder first, so that files opened
// by bare name and as ProgramDir + name are the same files.
void TForm1::FormCreate() {
    const std::string programDir = toolkit::ProgramDir();
    std::error_code ignored;
    std::filesystem::current_path(programDir, ignored);
    // What a run killed earlier left behind goes before anything is read.
    toolkit::platform::RemoveStaleTemporaries(programDir);
    try {
        RemoveEarlierRunFiles(toolkit::ScratchDir());
    } catch (const toolkit::ScratchError&) {
        // Told where the folder is first needed, by the network settings.
    }
    KrvVar& krv = Krv();
    krv = KrvVar{};
    LoadListFiles();
    LoadPictures();
    krv.settings.nbyrow = 3;
    try {
        krv.LoadSettings();
    } catch (const toolkit::FileError& error) {
        ReportError(error.what());
    }
    PlaceOnScreens();
    toolkit::LoadLocalAddressTable(krv.LocalAddresses, krv.LocalMasks);
    LastEntry = -1;
    ReadLocalNetwork();
    toolkit::StartDetached(NetsweepCommand(toolkit::kHostOs, {programDir, ""}));
    routeur->SetGlyph(BoxOff);
    scan_led->setPixmap(LedGrey);
    QApplication::setStyle(new HintStyle);
    krv.OtherGroupName = "Autres";
    try {
        krv.ManagedList = LoadOrCreateList(programDir + "localGM");
    } catch (const toolkit::FileError& error) {
        ReportError(error.what());
    }
    ExecPING_GM(toolkit::platform::FileExists("localIP") ? "localIP" : "localGM",
                [this](TTimer* timer) { ReadPING_GM(timer); });
    Redraw_network();
}

void TForm1::BuildControls() {
    setWindowTitle(
        QStringLiteral("Korvane 1.0  - Gestion des alimentations en énergie des ordinateurs"));
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
    BuildTimers();
    move(198, 103);
    resize(556, 254 + menuBar()->sizeHint().height() + 19);
}

void TForm1::BuildPanel(QWidget* client) {
    Panel1 = new QFrame(client);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setGeometry(0, 0, 417, 25);
    Label1 = new QLabel(QStringLiteral("Scan en cours..."), Panel1);
    Label1->move(88, 4);
    scan_led = new QLabel(Panel1);
    scan_led->setGeometry(192, 3, 20, 20);
    Label2 = new QLabel(QStringLiteral("Refresh : "), Panel1);
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
    gw_nom = StaticText(client, QStringLiteral("nom"), kYellow, true);
    gw_nom->setGeometry(48, 112, 97, 15);
    gw_ip = StaticText(client, QStringLiteral("ip"), kYellow, false);
    gw_ip->setGeometry(48, 127, 97, 15);
}

void TForm1::BuildMenus() {
    MainMenu1 = menuBar();
    auto add = [this](QMenu* menu, const char* name, const QString& text, void (TForm1::*slot)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        if (slot != nullptr) {
            connect(action, &QAction::triggered, this, slot);
        } else {
            action->setEnabled(false);  // its command is not in this version yet
        }
    };
    QMenu* fichier = MainMenu1->addMenu(QStringLiteral("Fichier"));
    add(fichier, "Quitter1", QStringLiteral("Quitter"), &TForm1::Quitter1Click);
    QMenu* edition = MainMenu1->addMenu(QStringLiteral("Edition"));
    add(edition, "Prfrences1", QStringLiteral("Préférences"), &TForm1::Prfrences1Click);
    QMenu* ordinateurs = MainMenu1->addMenu(QStringLiteral("Ordinateurs"));
    add(ordinateurs, "Dfinir1", QStringLiteral("Ajouter un ordinateur"), &TForm1::Dfinir1Click);
    add(ordinateurs, "Nejamaisteindre1", QStringLiteral("Ne jamais éteindre..."),
        &TForm1::Nejamaisteindre1Click);
    QMenu* rapports = MainMenu1->addMenu(QStringLiteral("Rapports"));
    add(rapports, "IncidentsWOL1", QStringLiteral("Incidents WOL"), &TForm1::IncidentsWOL1Click);
    add(rapports, "Incidentsshutdown1", QStringLiteral("Incidents shutdown"),
        &TForm1::Incidentsshutdown1Click);
    add(rapports, "Listemachines1", QStringLiteral("Liste machines"), &TForm1::Listemachines1Click);
    add(rapports, "Console1", QStringLiteral("Console"), &TForm1::Console1Click);
    add(rapports, "Consommation1", QStringLiteral("Consommation électrique"),
        &TForm1::Consommation1Click);
    QMenu* aide = MainMenu1->addMenu(QStringLiteral("Aide"));
    add(aide, "Apropos1", QStringLiteral("A propos"), &TForm1::Apropos1Click);

    popupGM = new QMenu(this);
    popupGM->setObjectName(QStringLiteral("popupGM"));
    add(popupGM, "Commentaire1", QStringLiteral("Commentaire"), &TForm1::Commentaire1Click);
    add(popupGM, "Renommer1", QStringLiteral("Renommer"), &TForm1::Renommer1Click);
    add(popupGM, "ConsommationEntry1", QStringLiteral("Consommation électrique"),
        &TForm1::ConsommationEntry1Click);
}

void TForm1::BuildTimers() {
    Timer1 = new TTimer(this);
    Timer1->setInterval(ScaledInterval(kScanInterval));
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
    TimerRedraw = new TTimer(this);
    TimerRedraw->setInterval(ScaledInterval(kRedrawInterval));
    connect(TimerRedraw, &QTimer::timeout, this, &TForm1::TimerRedrawTimer);
    TimerRedraw->start();
    StartPlanning();
}

void TForm1::LoadListFiles() {
    KrvVar& krv = Krv();
    const std::pair<const char*, toolkit::TextList*> lists[] = {
        {"liste.mac", &krv.MacList},     {"liste.ip", &krv.IpList},
        {"liste.patch", &krv.PatchList}, {"liste.ip.discover", &krv.DiscoverList},
        {"liste.known", &krv.EntryIPs},
    };
    for (const auto& [file, list] : lists) {
        try {
            *list = LoadOrCreateList(file);
        } catch (const toolkit::FileError& error) {
            ReportError(error.what());
        }
    }
}

// A picture that cannot be read is replaced by a plain one of the width that
// carries its meaning, so the map still tells on from off.
QPixmap TForm1::LoadPicture(const char* file, int width) {
    QPixmap picture(QString::fromLatin1(file));
    if (!picture.isNull()) return picture;
    missingPictures_.emplace_back(file);
    QPixmap standIn(width, width == 20 ? 20 : 48);
    standIn.fill(width == kOnGlyphWidth ? QColor(170, 210, 240) : QColor(128, 128, 128));
    return standIn;
}

void TForm1::LoadPictures() {
    LedRed = LoadPicture("led-rouge.bmp", 20);
    LedGreen = LoadPicture("led-vert.bmp", 20);
    LedOrange = LoadPicture("led-orange.bmp", 20);
    LedGrey = LoadPicture("led-gris.bmp", 20);
    ScreenOn = LoadPicture("ecran-on.bmp", kOnGlyphWidth);
    ScreenOff = LoadPicture("ecran-off.bmp", kOffGlyphWidth);
    BoxOn = LoadPicture("neufbox_on.bmp", kOnGlyphWidth);
    BoxOff = LoadPicture("neufbox_off.bmp", kOffGlyphWidth);
    if (missingPictures_.empty()) return;
    std::string files;
    for (const auto& file : missingPictures_) files += (files.empty() ? "" : ", ") + file;
    StatusMain->showMessage(Q("Images introuvables ou illisibles : " + files));
}

// The saved place is corrected before the window is ever sized: a height of
// 2^31 pixels would ask for gigabytes, a place on a monitor unplugged since
// would leave the window out of reach.
void TForm1::PlaceOnScreens() {
    std::vector<Rect> screens;
    QList<QScreen*> all = QGuiApplication::screens();
    all.removeOne(QGuiApplication::primaryScreen());
    all.prepend(QGuiApplication::primaryScreen());
    for (const QScreen* screen : all) {
        if (screen == nullptr) continue;
        const QRect area = screen->availableGeometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    Settings& settings = Krv().settings;
    const WindowPlace place = PlaceWindow({settings.left, settings.top, settings.height},
                                          MapWidth(settings.nbyrow), screens);
    settings.left = place.left;
    settings.top = place.top;
    settings.height = place.height;
}

void TForm1::ReadLocalNetwork() {
    try {
        LocalHost = toolkit::ReadIpConfig();
    } catch (const std::exception& error) {  // FileError, ScratchError
        LocalHost = {};
        ReportError(std::string("Paramètres réseau illisibles : ") + error.what());
    }
}

// --- show, resize, exit ------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TForm1::FormShow() {
    const Settings& settings = Krv().settings;
    resize(width(), settings.height);
    move(settings.left, settings.top);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    Krv().settings.height = height();
    if (mapArea_ != nullptr) FitMapContent();
    console->move(10, height() - console->height() - 80);
    Panel1->resize(width() - 8, Panel1->height());
}

// The map's surface covers the window and reaches the last row's captions.
void TForm1::FitMapContent() {
    const KrvVar& krv = Krv();
    const QSize view = mapArea_->maximumViewportSize();
    const int needed = MapContentHeight(static_cast<int>(krv.ManagedList.size()),
                                        krv.settings.nbyrow);
    client_->resize(std::max(view.width(), MapWidth(krv.settings.nbyrow)),
                    std::max(view.height(), needed));
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::quit();
}

void TForm1::Quitter1Click() {
    QCoreApplication::quit();
}

TForm1::~TForm1() {
    // FormDestroy. No timer may fire into a half-destroyed window.
    Timer1->stop();
    TimerRedraw->stop();
    StopPlanning();
    for (int slot = 0; slot < static_cast<int>(PingTimers.size()); ++slot) ReleasePingTimer(slot);
    SaveAtExit();
    for (int entry = 0; entry <= LastEntry; ++entry) DestroyEntryControls(entry);
    Krv() = KrvVar{};
    try {
        CleanSlotFiles(toolkit::ScratchDir());
    } catch (const toolkit::ScratchError&) {
        // No scratch folder, nothing of ours to clean.
    }
}

// The settings are replaced atomically: a failed write keeps the old files,
// and the user is told that this run's settings are lost.
void TForm1::SaveAtExit() {
    KrvVar& krv = Krv();
    std::string failures;
    try {
        krv.SaveSettings(pos().x(), pos().y(), height());
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + kEntrySettingsFile,
                           EntrySettingsLines(krv.ManagedList, LastEntry));
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    if (failures.empty()) return;
    ShowWarning(this, Q("Les réglages n'ont pas été enregistrés.\n" + failures));
}

void TForm1::Log(const std::string& line) {
    console->appendPlainText(Q(line));
}

void TForm1::ReportError(const std::string& message) {
    ShowWarning(this, Q(message));
}

// --- menus ---------------------------------------------------------------

void TForm1::Prfrences1Click() {
    if (Application() != nullptr && Application()->Prefs() != nullptr) {
        Application()->Prefs()->exec();
    }
    Redraw_network();
}

void TForm1::Dfinir1Click() {
    if (Application() != nullptr && Application()->AddMachine() != nullptr) {
        Application()->AddMachine()->exec();
    }
    Redraw_network();
}

void TForm1::ShowComingSoon() {
    if (Application() != nullptr && Application()->comingsoon() != nullptr) {
        Application()->comingsoon()->exec();
    }
}

// The console log's own window, not modal: it follows the log as it grows.
void TForm1::Console1Click() {
    if (Application() == nullptr || Application()->Console() == nullptr) return;
    Application()->Console()->ShowLog(console);
}

void TForm1::Apropos1Click() {
    if (Application() != nullptr && Application()->AboutBox() != nullptr) {
        Application()->AboutBox()->exec();
    }
}

}  // namespace korvane
