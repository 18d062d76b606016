#include "ucomingsoon.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

Tcomingsoon::Tcomingsoon(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("comingsoon"));
    setWindowTitle(QStringLiteral("Oups!"));
    Label1 = new QLabel(QStringLiteral("Cette fonction sera disponible prochainement"), this);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(BitBtn1, 0, Qt::AlignCenter);
}

}  // namespace korvane
