#include "uAddMachines.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTextCursor>
#include <QToolButton>

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 489;

// The rows: 48 pixels apart; name, IP and MAC columns at 16, 144 and 264,
// the "=>" button at 424.
constexpr int kFirstRowTop = 56;
constexpr int kRowPitch = 48;
constexpr int kLabelHeight = 21;
constexpr int kNameLeft = 16, kNameWidth = 121;
constexpr int kIpLeft = 144, kIpWidth = 113;
constexpr int kMacLeft = 264, kMacWidth = 153;
constexpr int kButtonLeft = 424, kButtonSize = 25;
constexpr int kRowsRight = kButtonLeft + kButtonSize;

struct RowNames {
    const char* name;
    const char* ip;
    const char* mac;
    const char* button;
};
constexpr RowNames kRowNames[kIntakeRowCount] = {
    {"Label1", "Label2", "Label3", "SpeedButton1"},
    {"Label6", "Label5", "Label4", "SpeedButton2"},
    {"Label9", "Label8", "Label7", "SpeedButton3"},
    {"Label12", "Label11", "Label10", "SpeedButton4"},
    {"Label15", "Label14", "Label13", "SpeedButton5"},
    {"nom6", "ip6", "mac6", "SpeedButton6"},
    {"nom7", "ip7", "mac7", "SpeedButton7"},
};

using Handler = void (TAddMachine::*)();
constexpr Handler kRowHandlers[kIntakeRowCount] = {
    &TAddMachine::SpeedButton1Click, &TAddMachine::SpeedButton2Click,
    &TAddMachine::SpeedButton3Click, &TAddMachine::SpeedButton4Click,
    &TAddMachine::SpeedButton5Click, &TAddMachine::SpeedButton6Click,
    &TAddMachine::SpeedButton7Click,
};

const QColor kLineGrey(128, 128, 128);

int RowTop(int row) {
    return kFirstRowTop + row * kRowPitch;
}

QLabel* Placed(QLabel* label, const char* name, const QRect& place, bool bold) {
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    return label;
}

// White text in a black panel; data from the network is never read as markup.
QLabel* RowLabel(QWidget* parent, const char* name, const QRect& place, bool bold) {
    QLabel* label = Placed(DataLabel(parent), name, place, bold);
    label->setIndent(4);
    Paint(label, Qt::black);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

QLabel* Header(QWidget* parent, const char* name, const QString& text, const QRect& place) {
    QLabel* header = Placed(DataLabel(parent), name, place, true);
    header->setText(text);
    header->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return header;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, const QRect& place) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(place);
    return button;
}

}  // namespace

TAddMachine::TAddMachine(KorvaneApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("AddMachine"));
    setWindowTitle(QString::fromUtf8(text::kIntakeTitle));
    setFixedSize(kWidth, kHeight);
    StaticText3 = Header(this, "StaticText3", QString::fromUtf8(text::kIntakeFound),
                         QRect(kNameLeft, 16, kRowsRight - kNameLeft, 25));
    BuildRows();
    // Its command is not in this version yet.
    purger = Button(this, "purger", QString::fromUtf8(text::kIntakePurge),
                    QRect(kNameLeft, 408, 75, 25));
    purger->setEnabled(false);
    Help = Placed(new QLabel(QString::fromUtf8(text::kIntakeHelp), this), "Aide",
                  QRect(kNameLeft + 85, 400, kRowsRight - kNameLeft - 85, 60), false);
    Help->setWordWrap(true);
    Help->setStyleSheet(QStringLiteral("QLabel { font-size: 7pt; }"));
    Help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    BuildMemo();
}

void TAddMachine::BuildRows() {
    for (int row = 0; row < kIntakeRowCount; ++row) {
        const int top = RowTop(row);
        const RowNames& names = kRowNames[row];
        Row& controls = Rows[static_cast<std::size_t>(row)];
        controls.name =
            RowLabel(this, names.name, QRect(kNameLeft, top, kNameWidth, kLabelHeight), true);
        controls.ip = RowLabel(this, names.ip, QRect(kIpLeft, top, kIpWidth, kLabelHeight), false);
        controls.mac =
            RowLabel(this, names.mac, QRect(kMacLeft, top, kMacWidth, kLabelHeight), false);
        controls.button = new QToolButton(this);
        controls.button->setObjectName(QString::fromLatin1(names.button));
        controls.button->setText(QString::fromUtf8(text::kIntakeMove));
        controls.button->setGeometry(kButtonLeft, top - 2, kButtonSize, kButtonSize);
        connect(controls.button, &QToolButton::clicked, this, kRowHandlers[row]);
        // Under the address and the MAC, in the row's spare height.
        controls.mark = Placed(
            DataLabel(this), "",
            QRect(kIpLeft, top + kLabelHeight + 1, kMacLeft + kMacWidth - kIpLeft, 12), false);
        controls.mark->setObjectName(QStringLiteral("marque%1").arg(row + 1));
        controls.mark->setStyleSheet(QStringLiteral("QLabel { color: #a04000; font-size: 7pt; }"));
        if (row + 1 == kIntakeRowCount) break;
        // A grey line halfway to the next row.
        auto* line = new QFrame(this);
        line->setObjectName(QStringLiteral("Shape%1").arg(row + 1));
        line->setGeometry(kNameLeft, top + (kLabelHeight + kRowPitch) / 2, kRowsRight - kNameLeft,
                          1);
        Paint(line, kLineGrey);
        RowLines[static_cast<std::size_t>(row)] = line;
    }
    Rows[0].name->setText(QString::fromUtf8(text::kIntakeSampleName));
    Rows[0].ip->setText(QString::fromUtf8(text::kIntakeSampleIp));
    Rows[0].mac->setText(QString::fromUtf8(text::kIntakeSampleMac));
}

void TAddMachine::BuildMemo() {
    StaticText1 = Header(this, "StaticText1", QString::fromUtf8(text::kIntakeManaged),
                         QRect(480, 16, 264, 25));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(480, 48, 264, 337);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    BitBtn1 = Button(this, "BitBtn1", QString::fromUtf8(text::kOk), QRect(576, 448, 75, 25));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TAddMachine::BitBtn1Click);
    BitBtn2 = Button(this, "BitBtn2", QString::fromUtf8(text::kCancel), QRect(664, 448, 80, 25));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(BitBtn2, &QPushButton::clicked, this, &TAddMachine::reject);
}

// Each opening, not each return of the focus: a message box over the dialog
// must not reload the memo over the user's edits.
void TAddMachine::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormActivate();
}

void TAddMachine::FormActivate() {
    if (const std::optional<TextList> memo = app_.IntakeOpened()) SetMemoLines(*memo);
}

void TAddMachine::ShowRows(const IntakeRows& rows) {
    for (std::size_t row = 0; row < rows.size(); ++row) {
        Rows[row].name->setText(Q(rows[row].name));
        Rows[row].ip->setText(Q(rows[row].ip));
        Rows[row].mac->setText(Q(rows[row].mac));
        Rows[row].mark->setText(Q(rows[row].mark));
    }
}

// The name goes in as it stands: an empty one adds an empty line, one already
// there is added again.
void TAddMachine::MoveRowToMemo(int row) {
    TextList lines = MemoLines();
    lines.push_back(Rows[static_cast<std::size_t>(row)].name->text().toStdString());
    SetMemoLines(lines);
}

// A bad line or a failed write keeps the dialog open with the memo as typed.
void TAddMachine::BitBtn1Click() {
    if (app_.IntakeOk(MemoLines())) done(kResultOK);
}

void TAddMachine::reject() {
    done(kResultCancel);
}

TextList TAddMachine::MemoLines() const {
    return toolkit::SplitLines(Memo1->toPlainText().toStdString());
}

void TAddMachine::SetMemoLines(const TextList& lines) {
    Memo1->setPlainText(Q(MemoText(lines)));
    Memo1->moveCursor(QTextCursor::End);
}

}  // namespace korvane
