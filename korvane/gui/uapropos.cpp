#include "uapropos.h"
#include "korvane/app/texts.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

namespace {
constexpr int kIconSize = 64;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QString::fromUtf8(text::kAboutTitle));
    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral("ecran-on.bmp")));
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setFixedSize(kIconSize, kIconSize);
    ProductName = new QLabel(QString::fromUtf8(text::kProductName), Panel1);
    Version = new QLabel(QString::fromUtf8(text::kVersion), Panel1);
    Comments = new QLabel(QString::fromUtf8(text::kBetaRemark), Panel1);
    Comments->setWordWrap(true);
    auto* panelLayout = new QGridLayout(Panel1);
    panelLayout->addWidget(ProgramIcon, 0, 0, 2, 1);
    panelLayout->addWidget(ProductName, 0, 1);
    panelLayout->addWidget(Version, 1, 1);
    panelLayout->addWidget(Comments, 2, 0, 1, 2);
    OKButton = new QPushButton(QString::fromUtf8(text::kOk), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(1); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(OKButton, 0, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
}

}  // namespace korvane
