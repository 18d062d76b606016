// TForm1, the network map: the gateway in cell 0, entry i in cell i + 1, as
// the app layer's map state gives them.
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QStyle>

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "main_window.h"

namespace korvane {

namespace {

void Place(QWidget* widget, const Rect& rect) {
    widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
}

// A picture changes only when its width shows the other state.
void ApplyGlyph(GlyphButton* button, bool up, const QPixmap& on, const QPixmap& off) {
    const GlyphChange change = NextGlyph(up, button->GlyphWidth());
    if (change == GlyphChange::ToOn) button->SetGlyph(on);
    if (change == GlyphChange::ToOff) button->SetGlyph(off);
}

template <typename Control>
void DeleteControl(std::vector<Control*>& table, std::size_t index) {
    delete table[index];
    table[index] = nullptr;
}

}  // namespace

void TForm1::ShowMap(const MapState& map) {
    if (map.rebuild) {
        // Every control goes, also those of entries beyond a list that shrank
        // since they were drawn, so a rebuild leaves no stale entry behind.
        for (int entry = 0; entry < static_cast<int>(EntryButtons.size()); ++entry) {
            DestroyEntryControls(entry);
        }
    }
    entryCount_ = static_cast<int>(map.entries.size());
    if (map.gateway.known) DrawGateway(map.gateway);
    // The window is as wide as the rows, and the vertical scroll bar's width
    // more when the entries need it, so that it never hides a column. The
    // map's room is measured at the window's height, laid out now: before
    // the window first shows, its area has no size of its own yet.
    resize(MapWidth(map.nbyrow), map.height);
    layout()->activate();
    const bool scrolls =
        MapContentHeight(entryCount_, map.nbyrow) > mapArea_->maximumViewportSize().height();
    if (scrolls) resize(width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent), map.height);
    for (int entry = 0; entry < entryCount_; ++entry) {
        DrawEntry(entry, map.entries[static_cast<std::size_t>(entry)]);
    }
    FitMapContent();
}

// The map's surface covers the window and reaches the last row's captions.
void TForm1::FitMapContent() {
    if (app_ == nullptr) return;
    const int nbyrow = app_->CurrentSettings().nbyrow;
    const QSize view = mapArea_->maximumViewportSize();
    const int needed = MapContentHeight(entryCount_, nbyrow);
    const int bar = needed > view.height() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    client_->resize(std::max(view.width() - bar, MapWidth(nbyrow)),
                    std::max(view.height(), needed));
}

void TForm1::DrawGateway(const MapGateway& gateway) {
    gw_nom->setText(Q(gateway.name));
    gw_ip->setText(Q(gateway.address));
    ApplyGlyph(routeur, gateway.up, BoxOn, BoxOff);
}

// An entry the map leaves out keeps whatever control it had.
void TForm1::DrawEntry(int entry, const MapEntry& cell) {
    if (!cell.shown) return;
    GrowEntryTables(entry);
    const auto index = static_cast<std::size_t>(entry);
    if (EntryButtons[index] == nullptr) CreateEntryButton(entry, cell.up);
    ApplyGlyph(EntryButtons[index], cell.up, ScreenOn, ScreenOff);
    EntryButtons[index]->setToolTip(Q(cell.hint));
    MarkProtected(entry, cell.isProtected);
    if (EntryFrames[index] == nullptr) CreateEntryCaptions(entry);
    RefreshEntryCaptions(entry, cell);
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
    button->setToolTipDuration(kHintDisplayTime);
    button->Tag = entry;
    connect(button, &QToolButton::clicked, this, [this, button] { machineClick(button); });
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, button](const QPoint& where) { ShowEntryMenu(button, where); });
    Place(button, EntryButtonRect(EntryCell(entry, app_->CurrentSettings().nbyrow)));
    button->show();
    EntryButtons[static_cast<std::size_t>(entry)] = button;
}

// A protected entry wears a small mark.
void TForm1::MarkProtected(int entry, bool isProtected) {
    GlyphButton* button = EntryButtons[static_cast<std::size_t>(entry)];
    const QString markName = QStringLiteral("protege%1").arg(entry);
    auto* mark = button->findChild<QLabel*>(markName);
    if (isProtected && mark == nullptr) {
        mark = new QLabel(QString::fromUtf8(text::kProtectedMark), button);
        mark->setObjectName(markName);
        mark->setStyleSheet(QStringLiteral(
            "QLabel { background: #c00000; color: white; font-size: 7pt; padding: 0px 2px; }"));
        mark->move(2, 2);
        mark->adjustSize();
        mark->show();
    }
    if (!isProtected && mark != nullptr) delete mark;
}

void TForm1::CreateEntryCaptions(int entry) {
    const auto index = static_cast<std::size_t>(entry);
    auto* frame = new QFrame(client_);
    Paint(frame, kYellow);
    Place(frame, EntryFrameRect(EntryCell(entry, app_->CurrentSettings().nbyrow)));
    frame->hide();
    EntryFrames[index] = frame;
    IpCaptions[index] = DataLabel(client_);
    MacCaptions[index] = DataLabel(client_);
    NameCaptions[index] = DataLabel(client_);
}

// Captions follow their frame at every build, in the order address, hardware
// address, name.
void TForm1::RefreshEntryCaptions(int entry, const MapEntry& cell) {
    const auto index = static_cast<std::size_t>(entry);
    const QFrame* frame = EntryFrames[index];
    const Rect frameRect{frame->x(), frame->y(), frame->width(), frame->height()};
    const QColor buttonFace = palette().color(QPalette::Button);

    QLabel* ip = IpCaptions[index];
    Paint(ip, buttonFace);
    ip->setAlignment(Qt::AlignCenter);
    Place(ip, IpCaptionRect(frameRect));
    ip->setText(Q(cell.address));
    // Another device holds the address: the caption in red.
    QPalette palette = ip->palette();
    palette.setColor(QPalette::WindowText, cell.addressTaken
                                               ? QColor(192, 0, 0)
                                               : this->palette().color(QPalette::WindowText));
    ip->setPalette(palette);
    ip->show();

    QLabel* mac = MacCaptions[index];
    Paint(mac, kYellow);
    mac->move(MacCaptionRect(frameRect).left, MacCaptionRect(frameRect).top);
    mac->setText(Q(cell.mac));
    mac->adjustSize();
    mac->hide();

    QLabel* caption = NameCaptions[index];
    Paint(caption, buttonFace);
    caption->setAlignment(Qt::AlignCenter);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    Place(caption, NameCaptionRect(frameRect));
    caption->setText(Q(cell.caption));
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

}  // namespace korvane
