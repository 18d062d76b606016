// Receives the addresses the program asks the desktop to open.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

namespace gui_testing {

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QStringList opened;
  public slots:
    void Open(const QUrl& url) { opened << url.toString(); }
};

}  // namespace gui_testing
