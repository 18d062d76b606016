#include "ucomingsoon.h"
#include "korvane/app/texts.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

Tcomingsoon::Tcomingsoon(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("comingsoon"));
    setWindowTitle(QString::fromUtf8(text::kComingSoonTitle));
    Label1 = new QLabel(QString::fromUtf8(text::kComingSoon), this);
    BitBtn1 = new QPushButton(QString::fromUtf8(text::kOk), this);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(BitBtn1, 0, Qt::AlignCenter);
}

}  // namespace korvane
