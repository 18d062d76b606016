// Korvane's notifications through the real window and a real notification
// server: dunst in a D-Bus session of the test's own, on an Xvfb display
// (tests/gui/notify_session.sh makes them and sets KORVANE_NOTIFY_SESSION).
// A sweep that saw a new device is told; a click opens the intake dialog,
// whose row of that device says "nouveau".
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "devices.h"
#include "notifier.h"
#include "program_folder.h"
#include "uAddMachines.h"

namespace {

using gui_testing::ProgramFolder;
using gui_testing::WaitFor;

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = fread(buffer, 1, sizeof buffer, pipe)) {
            text.append(buffer, count);
        }
        pclose(pipe);
    }
    return text;
}

void Sweep(const ProgramFolder& folder, toolkit::DeviceRecord& record, std::int64_t time,
           const std::string& mac, const std::string& address, const std::string& name) {
    record.previousSweep = record.lastSweep;
    record.lastSweep = time;
    toolkit::Device device;
    device.mac = mac;
    device.address = address;
    device.name = name;
    device.firstSeen = device.lastSeen = time;
    record.devices.push_back(device);
    toolkit::SaveLines(folder / toolkit::kDeviceRecordFile, toolkit::DeviceRecordLines(record));
}

TEST(DesktopNotice, ANewDeviceIsToldAndItsClickOpensTheIntakeDialogWithItsMark) {
    if (std::getenv("KORVANE_NOTIFY_SESSION") == nullptr) {
        GTEST_SKIP() << "no notification server of the test's own (notify_session.sh)";
    }
    ProgramFolder folder;
    folder.Write("notifications.ini", {"nouveaux-appareils=1"});
    toolkit::DeviceRecord record;
    const std::int64_t start = 1'800'000'000;
    Sweep(folder, record, start, "02-4B-52-00-00-11", "198.18.0.11", "pc-salon");
    Sweep(folder, record, start + 540, "02-4B-52-00-00-12", "198.18.0.12", "pc-bureau");
    korvane::TForm1& form = folder.StartStill();
    folder.Clock().Set(std::chrono::system_clock::from_time_t(start + 1100));
    Sweep(folder, record, start + 1080, "02-4B-52-00-00-13", "198.18.0.13", "imprimante");
    folder.Write("liste.ip.discover", {"198.18.0.13=imprimante", "198.18.0.12=pc-bureau"});
    folder.App().TimerRedrawTimer();
    ASSERT_TRUE(WaitFor([] { return Output("dunstctl count displayed") == "1\n"; }, 5000))
        << Output("dunstctl debug");

    korvane::TAddMachine& intake = *korvane::Application()->AddMachine();
    QString firstMark;
    bool opened = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!intake.isVisible()) return;
        WaitFor([&] { return !intake.Rows[0].mark->text().isEmpty(); }, 2000);
        opened = true;
        firstMark = intake.Rows[0].mark->text();
        EXPECT_EQ(intake.Rows[0].name->text(), QStringLiteral("imprimante"));
        intake.reject();
    });
    watch.start(50);
    std::system("dunstctl action 0");
    EXPECT_TRUE(WaitFor([&] { return opened; }, 5000));
    EXPECT_EQ(firstMark, QStringLiteral("nouveau"));
    // Closed, it goes to the server's history.
    std::system("dunstctl close");
    std::string history;
    WaitFor(
        [&] {
            history = Output("dunstctl history");
            return history.find("Nouvel appareil") != std::string::npos;
        },
        3000);
    EXPECT_NE(history.find("Nouvel appareil sur le réseau"), std::string::npos) << history;
    EXPECT_NE(history.find("imprimante (198.18.0.13, 02-4B-52-00-00-13)"), std::string::npos)
        << history;
    (void)form;
}

// D-Bus messages as the wire carries them (little-endian), just enough to
// say Hello and ask for a name.
class Marshal {
  public:
    std::string bytes;
    void Align(std::size_t to) {
        while (bytes.size() % to != 0) bytes += '\0';
    }
    void Byte(char c) { bytes += c; }
    void Uint32(std::uint32_t value) {
        Align(4);
        for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(value >> shift);
    }
    void String(const std::string& text) {
        Uint32(static_cast<std::uint32_t>(text.size()));
        bytes += text + '\0';
    }
    void Signature(const std::string& text) {
        Byte(static_cast<char>(text.size()));
        bytes += text + '\0';
    }
};

std::string MethodCall(std::uint32_t serial, const std::string& member,
                       const std::string& signature, const std::string& body) {
    Marshal message;
    for (const char c : {'l', '\1', '\0', '\1'}) message.Byte(c);
    message.Uint32(static_cast<std::uint32_t>(body.size()));
    message.Uint32(serial);
    message.Uint32(0);  // the header fields' length, set below
    const std::size_t fieldsStart = message.bytes.size();
    const auto field = [&](char code, const char* type, const std::string& value) {
        message.Align(8);
        message.Byte(code);
        message.Signature(type);
        if (*type == 'g') {
            message.Signature(value);
        } else {
            message.String(value);
        }
    };
    field(1, "o", "/org/freedesktop/DBus");
    field(2, "s", "org.freedesktop.DBus");
    field(3, "s", member);
    field(6, "s", "org.freedesktop.DBus");
    if (!signature.empty()) field(8, "g", signature);
    const auto length = static_cast<std::uint32_t>(message.bytes.size() - fieldsStart);
    for (int k = 0; k < 4; ++k) message.bytes[12 + k] = static_cast<char>(length >> (8 * k));
    message.Align(8);
    return message.bytes + body;
}

// A notification service that owns its name on the session bus and never
// answers anything: a connection of its own that asks for the name, then
// never reads what comes to it.
class SilentNotificationService {
  public:
    SilentNotificationService() {
        const std::string address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        socklen_t size = sizeof where;
        const auto value = [&](const std::string& key) -> std::optional<std::string> {
            const std::size_t at = address.find(key + "=");
            if (at == std::string::npos) return std::nullopt;
            const std::size_t start = at + key.size() + 1;
            return address.substr(start, address.find(',', start) - start);
        };
        if (const auto path = value("path")) {
            std::strncpy(where.sun_path, path->c_str(), sizeof where.sun_path - 1);
        } else if (const auto name = value("abstract")) {
            std::memcpy(where.sun_path + 1, name->data(), name->size());
            size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name->size());
        }
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&where), size), 0) << address;
        char uid[32];
        std::string hex;
        std::snprintf(uid, sizeof uid, "%u", static_cast<unsigned>(getuid()));
        for (const char* c = uid; *c != '\0'; ++c) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(*c));
            hex += pair;
        }
        Send(std::string(1, '\0') + "AUTH EXTERNAL " + hex + "\r\n");
        char answer[256] = {};
        EXPECT_GT(read(fd_, answer, sizeof answer - 1), 0);
        EXPECT_EQ(std::string(answer).substr(0, 3), "OK ") << answer;
        Send("BEGIN\r\n");
        Send(MethodCall(1, "Hello", "", ""));
        Marshal request;
        request.String("org.freedesktop.Notifications");
        request.Uint32(4);  // do not queue
        Send(MethodCall(2, "RequestName", "su", request.bytes));
    }
    ~SilentNotificationService() { close(fd_); }
    SilentNotificationService(const SilentNotificationService&) = delete;
    SilentNotificationService& operator=(const SilentNotificationService&) = delete;

  private:
    void Send(const std::string& bytes) {
        EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    int fd_ = -1;
};

// A service that owns the notifications' name and never answers costs each
// notice the call's own time-out (2 s), not the bus's 25 s for describing
// the service first: the window stays alive. The bound only tells the two
// apart.
TEST(DesktopNotice, AServiceThatNeverAnswersCostsTheCallsTimeOutOnly) {
    if (std::getenv("KORVANE_SILENT_NOTIFY_SESSION") == nullptr) {
        GTEST_SKIP() << "no bus of the test's own for a silent service (notify_session.sh)";
    }
    const SilentNotificationService silent;
    const QString name = QStringLiteral("org.freedesktop.Notifications");
    ASSERT_TRUE(WaitFor(
        [&] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
        },
        5000));
    korvane::DesktopNotifier notifier;
    korvane::Notice notice;
    notice.title = "Incident";
    notice.body = "pc1 ne s'est pas éteint";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(notifier.Send(notice));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
