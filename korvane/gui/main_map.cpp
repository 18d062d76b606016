// TForm1, the network map: the gateway in cell 0, entry i in cell i + 1.
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QUrl>

#include "KrvVar.h"
#include "forms.h"
#include "main.h"
#include "mapgrid.h"
#include "platform/platform.h"
#include "raw_ping.h"
#include "tools.h"

namespace korvane {

namespace {

void Place(QWidget* widget, const Rect& rect) {
    widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
}

void ApplyGlyph(GlyphButton* button, GlyphChange change, const QPixmap& on, const QPixmap& off) {
    if (change == GlyphChange::ToOn) button->SetGlyph(on);
    if (change == GlyphChange::ToOff) button->SetGlyph(off);
}

template <typename Control>
void DeleteControl(std::vector<Control*>& table, std::size_t index) {
    delete table[index];
    table[index] = nullptr;
}

toolkit::TextList LoadStateFile() {
    const std::string path = toolkit::ProgramDir() + "etats";
    if (!toolkit::platform::FileExists(path)) return {};
    try {
        return toolkit::LoadLines(path);
    } catch (const toolkit::FileError&) {
        return {};  // an unreadable state file leaves every entry down
    }
}

}  // namespace

void TForm1::Redraw_network() {
    KrvVar& krv = Krv();
    if (krv.MapRebuild == 1) {
        // Every control goes, also those of entries beyond a list that shrank
        // since they were drawn, so a rebuild leaves no stale entry behind.
        for (int entry = 0; entry < static_cast<int>(EntryButtons.size()); ++entry) {
            DestroyEntryControls(entry);
        }
        krv.MapRebuild = 0;
    }
    krv.EntryIPs.clear();
    for (const auto& name : krv.ManagedList) krv.EntryIPs.push_back(krv.FindIP(name));
    LastEntry = static_cast<int>(krv.EntryIPs.size()) - 1;
    const toolkit::TextList etats = LoadStateFile();
    if (!LocalHost.gateway.empty()) RedrawGateway();
    resize(MapWidth(krv.settings.nbyrow), krv.settings.height);
    for (int entry = 0; entry <= LastEntry; ++entry) DrawEntry(entry, etats);
    FitMapContent();
}

void TForm1::RedrawGateway() {
    const std::string& gateway = LocalHost.gateway;
    gw_nom->setText(Q(Krv().FindName(gateway)));
    gw_ip->setText(Q(gateway));
    const bool up = toolkit::IcmpProbe(gateway);
    ApplyGlyph(routeur, NextGlyph(up, routeur->GlyphWidth()), BoxOn, BoxOff);
    disconnect(routeur, &QToolButton::clicked, this, nullptr);
    connect(routeur, &QToolButton::clicked, this, &TForm1::routeurClick);
}

void TForm1::DrawEntry(int entry, const toolkit::TextList& etats) {
    const KrvVar& krv = Krv();
    const std::string& address = krv.EntryIPs[static_cast<std::size_t>(entry)];
    if (IsFilteredOut(address, LocalHost)) return;
    const std::string& name = krv.ManagedList[static_cast<std::size_t>(entry)];
    const bool up = IsUp(etats, name, address);
    GrowEntryTables(entry);
    const auto index = static_cast<std::size_t>(entry);
    if (EntryButtons[index] == nullptr) CreateEntryButton(entry, up);
    ApplyGlyph(EntryButtons[index], NextGlyph(up, EntryButtons[index]->GlyphWidth()), ScreenOn,
               ScreenOff);
    if (EntryFrames[index] == nullptr) CreateEntryCaptions(entry);
    RefreshEntryCaptions(entry, name);
    DecorateEntry(entry, name);
}

void TForm1::GrowEntryTables(int entry) {
    const auto needed = static_cast<std::size_t>(entry) + 1;
    if (EntryButtons.size() >= needed) return;
    EntryButtons.resize(needed, nullptr);
    EntryFrames.resize(needed, nullptr);
    NameCaptions.resize(needed, nullptr);
    IpCaptions.resize(needed, nullptr);
    MacCaptions.resize(needed, nullptr);
}

void TForm1::CreateEntryButton(int entry, bool up) {
    auto* button = new GlyphButton(client_);
    button->setObjectName(QStringLiteral("machine%1").arg(entry));
    button->SetGlyph(up ? ScreenOn : ScreenOff);
    const auto comment = comments_.find(Krv().ManagedList[static_cast<std::size_t>(entry)]);
    button->setToolTip(comment != comments_.end() ? comment->second : QString());
    button->setToolTipDuration(kHintDisplayTime);
    button->Tag = entry;
    connect(button, &QToolButton::clicked, this, [this, button] { machineClick(button); });
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, button](const QPoint& where) { ShowEntryMenu(button, where); });
    Place(button, EntryButtonRect(EntryCell(entry, Krv().settings.nbyrow)));
    button->show();
    EntryButtons[static_cast<std::size_t>(entry)] = button;
}

void TForm1::CreateEntryCaptions(int entry) {
    const auto index = static_cast<std::size_t>(entry);
    auto* frame = new QFrame(client_);
    Paint(frame, kYellow);
    Place(frame, EntryFrameRect(EntryCell(entry, Krv().settings.nbyrow)));
    frame->hide();
    EntryFrames[index] = frame;
    IpCaptions[index] = DataLabel(client_);
    MacCaptions[index] = DataLabel(client_);
    NameCaptions[index] = DataLabel(client_);
}

// Captions follow their frame at every build, in the order address, hardware
// address, name.
void TForm1::RefreshEntryCaptions(int entry, const std::string& name) {
    const auto index = static_cast<std::size_t>(entry);
    const QFrame* frame = EntryFrames[index];
    const Rect frameRect{frame->x(), frame->y(), frame->width(), frame->height()};
    const QColor buttonFace = palette().color(QPalette::Button);

    QLabel* ip = IpCaptions[index];
    Paint(ip, buttonFace);
    ip->setAlignment(Qt::AlignCenter);
    Place(ip, IpCaptionRect(frameRect));
    ip->setText(Q(Krv().EntryIPs[index]));
    ip->show();

    QLabel* mac = MacCaptions[index];
    Paint(mac, kYellow);
    mac->move(MacCaptionRect(frameRect).left, MacCaptionRect(frameRect).top);
    mac->setText(Q(Krv().FindMAC(name)));
    mac->adjustSize();
    mac->hide();

    QLabel* caption = NameCaptions[index];
    Paint(caption, buttonFace);
    caption->setAlignment(Qt::AlignCenter);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    Place(caption, NameCaptionRect(frameRect));
    caption->setText(Q(toolkit::AsciiUpper(name)));
    caption->show();
}

void TForm1::DestroyEntryControls(int entry) {
    const auto index = static_cast<std::size_t>(entry);
    if (index >= EntryButtons.size()) return;
    DeleteControl(EntryButtons, index);
    DeleteControl(EntryFrames, index);
    DeleteControl(NameCaptions, index);
    DeleteControl(IpCaptions, index);
    DeleteControl(MacCaptions, index);
}

void TForm1::routeurClick() {
    // Only a strict dotted address reaches the browser, whatever the adapter
    // listing held.
    if (!toolkit::IsDottedIPv4(LocalHost.gateway)) return;
    QDesktopServices::openUrl(QUrl(Q("http://" + LocalHost.gateway)));
}

}  // namespace korvane
