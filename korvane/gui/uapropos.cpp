#include "uapropos.h"

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
    setWindowTitle(QStringLiteral("A propos"));
    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral("ecran-on.bmp")));
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setFixedSize(kIconSize, kIconSize);
    ProductName = new QLabel(QStringLiteral("Korvane"), Panel1);
    Version = new QLabel(QStringLiteral("V1.0 beta (8/4/2012)"), Panel1);
    Comments = new QLabel(QStringLiteral("Attention : ceci est une version BETA "), Panel1);
    Comments->setWordWrap(true);
    auto* panelLayout = new QGridLayout(Panel1);
    panelLayout->addWidget(ProgramIcon, 0, 0, 2, 1);
    panelLayout->addWidget(ProductName, 0, 1);
    panelLayout->addWidget(Version, 1, 1);
    panelLayout->addWidget(Comments, 2, 0, 1, 2);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(1); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(OKButton, 0, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
}

}  // namespace korvane
