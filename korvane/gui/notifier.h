// Desktop notifications on Linux: the freedesktop notification service on
// the session's D-Bus, whose "default" action (a click) comes back here.
#pragma once

#include <QObject>
#include <functional>
#include <map>

#include "korvane/core/notices.h"

namespace korvane {

class DesktopNotifier : public QObject {
    Q_OBJECT

  public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    // False when no notification service answers.
    bool Send(const Notice& notice);
    // Runs when the user clicks a notification sent here.
    std::function<void(const Notice& notice)> Clicked;

  private slots:
    void ActionInvoked(uint id, const QString& action);

  private:
    bool listening_ = false;
    std::map<uint, Notice> sent_;
};

}  // namespace korvane
