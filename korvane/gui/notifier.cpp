#include "notifier.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariantMap>

#include "widgets.h"

namespace korvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A service that does not answer within this time counts as none.
constexpr int kCallTimeout = 2000;
// Sent notifications remembered for their click; the oldest go first.
constexpr std::size_t kRemembered = 64;

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

bool DesktopNotifier::Send(const Notice& notice) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    if (!listening_) {
        listening_ = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                 SLOT(ActionInvoked(uint, QString)));
    }
    QDBusInterface service(kService, kPath, kInterface, bus);
    service.setTimeout(kCallTimeout);
    // Names come from the network: the body is never read as markup.
    const QDBusReply<uint> id = service.call(
        QStringLiteral("Notify"), QStringLiteral("Korvane"), 0U, QStringLiteral("korvane"),
        Q(notice.title), Q(notice.body).toHtmlEscaped(),
        QStringList{QStringLiteral("default"), QStringLiteral("Ouvrir")}, QVariantMap{}, -1);
    if (!id.isValid()) return false;
    if (sent_.size() >= kRemembered) sent_.erase(sent_.begin());
    sent_[id.value()] = notice;
    return true;
}

void DesktopNotifier::ActionInvoked(uint id, const QString& action) {
    const auto found = sent_.find(id);
    if (found == sent_.end() || action != QStringLiteral("default")) return;
    const Notice notice = found->second;
    sent_.erase(found);
    if (Clicked) Clicked(notice);
}

}  // namespace korvane
