#include "notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
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
    // A plain call, not through QDBusInterface: that one first asks the
    // service to describe itself, waiting the bus's 25 s for a service that
    // holds its name and never answers, before the call's own time-out
    // applies. The window would freeze that long at every notice.
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // Names come from the network: the body is never read as markup.
    call << QStringLiteral("Korvane") << 0U << QStringLiteral("korvane") << Q(notice.title)
         << Q(notice.body).toHtmlEscaped()
         << QStringList{QStringLiteral("default"), QStringLiteral("Ouvrir")} << QVariantMap{} << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    bool valid = false;
    const uint id = reply.arguments().constFirst().toUInt(&valid);
    if (!valid) return false;
    if (sent_.size() >= kRemembered) sent_.erase(sent_.begin());
    sent_[id] = notice;
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
