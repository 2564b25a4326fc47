// The desktop over D-Bus, against fake services on a bus of the test's own: a private
// dbus-daemon stands for both the session bus and the system bus. The fake notification
// service and logind write down every call; logind's Inhibit hands out one end of a pipe, so
// the test sees the moment the window closes its lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>
#include <QAction>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QMenu>
#include <QProcess>
#include <limits>

#include "app/DesktopBus.h"
#include "app/RunOptionTexts.h"
#include "app/RunReport.h"
#include "app/RunSettingsMenu.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

const QString kFakeConnection = QStringLiteral("palomix-test-fake-services");

// One file descriptor, closed with the object.
class Descriptor {
public:
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(-1); }
    void Reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int Get() const { return fd_; }

private:
    int fd_ = -1;
};

class FakeDesktopBus;

// Answers the calls to one object path of the fake services and writes them down.
class FakeService final : public QDBusVirtualObject {
public:
    explicit FakeService(FakeDesktopBus& bus) : bus_(bus) {}
    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    FakeDesktopBus& bus_;
};

class FakeDesktopBus final : public QObject {
    Q_OBJECT

public:
    explicit FakeDesktopBus(const ScratchFolder& scratch) {
        const std::string config = scratch.Write(
            "bus.conf",
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:tmpdir=" +
                scratch.Path() +
                "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                "<allow own=\"*\"/></policy></busconfig>\n");
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                       QString::fromStdString("--config-file=" + config)});
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) {
            return;
        }
        const QString address = QString::fromUtf8(daemon_.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(address, kFakeConnection);
        if (!bus.isConnected() ||
            !bus.registerService(QStringLiteral("org.freedesktop.Notifications")) ||
            !bus.registerService(QStringLiteral("org.freedesktop.login1")) ||
            !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                       &notifications_) ||
            !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), &logind_) ||
            !bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                         QStringLiteral("Update"), this,
                         SLOT(LauncherUpdate(QString, QVariantMap)))) {
            return;
        }
        address_ = address;
    }
    ~FakeDesktopBus() override {
        QDBusConnection::disconnectFromBus(kFakeConnection);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    // Empty when the bus could not be set up (no dbus-daemon).
    const QString& Address() const { return address_; }

    // The calls that have the member's name.
    std::vector<QVariantList> CallsOf(const QString& member) const {
        std::vector<QVariantList> found;
        for (const auto& [name, arguments] : calls) {
            if (name == member) {
                found.push_back(arguments);
            }
        }
        return found;
    }
    // The last Inhibit's descriptor was handed out and every copy of it is closed now.
    bool LockHandedOut() const { return lockEnd_.Get() >= 0; }
    bool LockReleased() const {
        pollfd watched{lockEnd_.Get(), POLLIN, 0};
        return LockHandedOut() && ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP);
    }

    std::vector<std::pair<QString, QVariantList>> calls;
    std::vector<QVariantMap> launcherUpdates;  // the properties of each
    QString refuse;                            // a method answered with an error

public slots:
    void LauncherUpdate(const QString& application, const QVariantMap& properties) {
        EXPECT_EQ(application, QStringLiteral("application://palomix.desktop"));
        launcherUpdates.push_back(properties);
    }

private:
    friend class FakeService;

    QProcess daemon_;
    QString address_;
    FakeService notifications_{*this};
    FakeService logind_{*this};
    Descriptor lockEnd_;  // the read end of the pipe whose write end Inhibit handed out
};

bool FakeService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    bus_.calls.emplace_back(message.member(), message.arguments());
    QDBusMessage reply;
    if (message.member() == bus_.refuse) {
        reply = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                         QStringLiteral("Not allowed by the test"));
    } else if (message.member() == QStringLiteral("Notify")) {
        reply = message.createReply(QVariant::fromValue(7U));
    } else if (message.member() == QStringLiteral("Inhibit")) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return false;
        }
        bus_.lockEnd_.Reset(ends[0]);
        reply = message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1])));
        ::close(ends[1]);  // the answer holds a copy of its own
    } else {
        reply = message.createReply();
    }
    connection.send(reply);
    return true;
}

using DesktopBusPosixTest = WindowTest;

TEST_F(DesktopBusPosixTest, TheWindowHoldsTheLockWhileConvertingThenNotifiesAndSuspends) {
    FakeDesktopBus bus(scratch_);
    if (bus.Address().isEmpty()) {
        GTEST_SKIP() << "no private D-Bus (dbus-daemon) could be started";
    }
    MainFormEnvironment environment;
    environment.makeDesktop = [&bus](QWidget&) {
        return DBusDesktopSession({bus.Address(), bus.Address()});
    };
    environment.powerCountdownSeconds = 1;
    TMainForm1& form = MakeForm(std::move(environment));
    form.FormActivate();
    Pick(*form.MultiComboBox2, kHang);
    form.BrowserEdit1->SetPath(outFolder_);
    form.RunMenu().WhenDone->actions()[3]->trigger();

    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(WaitUntil([&] { return bus.LockHandedOut(); }));
    EXPECT_EQ(bus.CallsOf("Inhibit").at(0),
              (QVariantList{"sleep:idle", "Palomix", "Converting files", "block"}));
    // The window keeps it while the file converts.
    WaitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(bus.LockReleased());

    form.Button1Click();
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_TRUE(bus.LockReleased());
    ASSERT_TRUE(WaitUntil([&] { return !bus.CallsOf("Suspend").empty(); }));
    EXPECT_EQ(bus.CallsOf("Suspend").at(0), QVariantList{false});
    ASSERT_EQ(bus.CallsOf("Notify").size(), 1u);
    const QVariantList notify = bus.CallsOf("Notify")[0];
    ASSERT_EQ(notify.size(), 8);
    EXPECT_EQ(notify[0].toString(), QStringLiteral("Palomix"));
    EXPECT_EQ(notify[3].toString().toStdString(), RunOptionTextsFor(Language::Japanese).noticeDone);
    EXPECT_EQ(notify[4].toString().toStdString(),
              BatchCountWords(form.Report().Tally(), form.Report().NotAddedCount(),
                              RunTextsFor(Language::Japanese)));
    EXPECT_EQ(qdbus_cast<QVariantMap>(notify[6]).value(QStringLiteral("desktop-entry")),
              QStringLiteral("palomix"));
    EXPECT_EQ(bus.CallsOf("Inhibit").size(), 1u);
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(DesktopBusPosixTest, TheLauncherEntryHearsOfChangesAndARefusedPowerOffIsReported) {
    FakeDesktopBus bus(scratch_);
    if (bus.Address().isEmpty()) {
        GTEST_SKIP() << "no private D-Bus (dbus-daemon) could be started";
    }
    bus.refuse = QStringLiteral("PowerOff");
    const std::unique_ptr<DesktopSession> session =
        DBusDesktopSession({bus.Address(), bus.Address()});
    session->ShowProgress(std::nullopt);  // nothing shown yet: nothing to take away
    // A share that is no number shows none (and is never turned into a whole percent).
    session->ShowProgress(std::numeric_limits<double>::quiet_NaN());
    session->ShowProgress(0.42);
    session->ShowProgress(0.425);  // the same whole percent
    session->ShowProgress(std::nullopt);
    std::string reason;
    session->Power(PowerAction::ShutDown, [&reason](const std::string& why) { reason = why; });
    ASSERT_TRUE(WaitUntil([&] { return !reason.empty() && bus.launcherUpdates.size() >= 2; }));
    EXPECT_EQ(reason, "Not allowed by the test");
    EXPECT_EQ(bus.CallsOf("PowerOff").at(0), QVariantList{false});
    ASSERT_EQ(bus.launcherUpdates.size(), 2u);
    EXPECT_DOUBLE_EQ(bus.launcherUpdates[0].value("progress").toDouble(), 0.42);
    EXPECT_TRUE(bus.launcherUpdates[0].value("progress-visible").toBool());
    EXPECT_FALSE(bus.launcherUpdates[1].value("progress-visible").toBool());
}

TEST(DesktopBusWithoutBusPosixTest, NothingIsAskedAndAPowerRequestSaysWhy) {
    const QString nowhere = QStringLiteral("unix:path=/nonexistent/palomix-test-bus");
    const std::unique_ptr<DesktopSession> session = DBusDesktopSession({nowhere, nowhere});
    session->Notify("title", "body");
    session->KeepAwake(true);
    session->ShowProgress(0.5);
    session->KeepAwake(false);
    std::string reason;
    session->Power(PowerAction::Suspend, [&reason](const std::string& why) { reason = why; });
    EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace palomix::testing

#include "DesktopBusPosixTest.moc"
