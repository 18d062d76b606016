#include "uBottomdlg.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "korvane/app/texts.h"
#include "widgets.h"

namespace korvane {

namespace {
constexpr int kFieldWidth = 300;
}

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QString::fromUtf8(text::kLineTitle));
    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    geditLabel = DataLabel(Bevel1);
    gEdit = new QLineEdit(Bevel1);
    gEdit->setMinimumWidth(kFieldWidth);
    OKBtn = new QPushButton(QString::fromUtf8(text::kOk), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QString::fromUtf8(text::kCancel), this);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kResultOK); });
    connect(CancelBtn, &QPushButton::clicked, this, &TOKBottomDlg::reject);

    auto* framed = new QVBoxLayout(Bevel1);
    framed->addWidget(geditLabel);
    framed->addWidget(gEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Bevel1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
}

void TOKBottomDlg::reject() {
    done(kResultCancel);
}

void TOKBottomDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

}  // namespace korvane
