#include "app/InstanceHandover.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>

#include "engine/Engine.h"
#include "platform/SingleInstance.h"

namespace palomix {

namespace {

constexpr char kMagic[4] = {'P', 'L', 'X', 'H'};
constexpr char kTaken = 'A';
// A sender that connects but never finishes its message is dropped after this long.
constexpr int kSenderTimeoutMs = 5000;

void AppendNumber(QByteArray& bytes, quint32 number) {
    char big[4];
    qToBigEndian(number, big);
    bytes.append(big, 4);
}

quint32 NumberAt(const QByteArray& bytes, qsizetype at) {
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

}  // namespace

std::vector<std::string> PathsFromArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    bool first = true;
    for (const std::string& argument : arguments) {
        if (first && argument == "--") {
            first = false;
            continue;
        }
        first = false;
        if (argument.empty()) {
            continue;
        }
        paths.push_back(IncomingPath(argument));
    }
    return paths;
}

QString HandoverServerName() {
    const std::optional<std::string> lock = SingleInstanceLockPlace(kSingleInstanceName);
    if (lock) {
        const QString place = QString::fromStdString(*lock);
        if (QDir::isAbsolutePath(place) && QFileInfo(place).absoluteDir().exists()) {
            return QFileInfo(place).absoluteDir().filePath(
                QString::fromLatin1(kSingleInstanceName) + QStringLiteral(".handover"));
        }
    }
    QString user = qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"));
    return QStringLiteral("palomix-handover-") + user;
}

QByteArray EncodeHandover(const std::vector<std::string>& paths) {
    QByteArray bytes(kMagic, 4);
    AppendNumber(bytes, static_cast<quint32>(paths.size()));
    for (const std::string& path : paths) {
        AppendNumber(bytes, static_cast<quint32>(path.size()));
        bytes.append(path.data(), static_cast<qsizetype>(path.size()));
    }
    return bytes;
}

std::optional<std::vector<std::string>> DecodeHandover(const QByteArray& bytes, qsizetype limit) {
    if (bytes.size() > limit) {
        throw std::invalid_argument("the message is too long");
    }
    if (bytes.size() < 8) {
        if (!QByteArray(kMagic, 4).startsWith(bytes.left(4))) {
            throw std::invalid_argument("not a hand-over message");
        }
        return std::nullopt;
    }
    if (!bytes.startsWith(QByteArray(kMagic, 4))) {
        throw std::invalid_argument("not a hand-over message");
    }
    const quint32 count = NumberAt(bytes, 4);
    // Each path takes at least its length: a count beyond what the limit holds is a lie.
    if (count > static_cast<quint64>(limit) / 4) {
        throw std::invalid_argument("too many paths");
    }
    std::vector<std::string> paths;
    qsizetype at = 8;
    for (quint32 index = 0; index < count; ++index) {
        if (bytes.size() - at < 4) {
            return std::nullopt;
        }
        const quint32 length = NumberAt(bytes, at);
        at += 4;
        if (length > static_cast<quint64>(limit)) {
            throw std::invalid_argument("a path longer than the message may be");
        }
        if (bytes.size() - at < static_cast<qsizetype>(length)) {
            return std::nullopt;
        }
        paths.emplace_back(bytes.constData() + at, length);
        at += static_cast<qsizetype>(length);
    }
    if (at != bytes.size()) {
        throw std::invalid_argument("bytes after the last path");
    }
    return paths;
}

bool HandToRunningWindow(const QString& name, const std::vector<std::string>& paths,
                         std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    const auto left = [deadline] {
        return static_cast<int>(std::max<std::int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                   .count()));
    };
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(name);
        if (socket.waitForConnected(left())) {
            break;
        }
        socket.abort();
        // The window may hold the lock but not listen yet: try again shortly.
        if (left() <= 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, left())));
    }
    socket.write(EncodeHandover(paths));
    while (socket.bytesToWrite() > 0) {
        if (left() <= 0 || !socket.waitForBytesWritten(left())) {
            return false;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (left() <= 0 || !socket.waitForReadyRead(left())) {
            return false;
        }
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kTaken;
}

HandoverServer::HandoverServer(const QString& name, PathsHandler onPaths, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)), onPaths_(std::move(onPaths)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] { Accept(); });
    if (!server_->listen(name)) {
        // The window holds the single-instance lock: whatever stands at the name is left
        // from a window that was killed.
        QLocalServer::removeServer(name);
        server_->listen(name);
    }
}

bool HandoverServer::Listening() const {
    return server_->isListening();
}

QString HandoverServer::ErrorText() const {
    return server_->errorString();
}

void HandoverServer::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto received = std::make_shared<QByteArray>();
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, &QLocalSocket::abort);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::errorOccurred, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received, timer] {
            received->append(socket->readAll());
            std::optional<std::vector<std::string>> paths;
            try {
                paths = DecodeHandover(*received);
            } catch (const std::invalid_argument&) {
                socket->abort();
                return;
            }
            if (!paths) {
                return;
            }
            timer->stop();
            received->clear();
            socket->write(&kTaken, 1);
            socket->flush();
            socket->disconnectFromServer();
            // Taken after this report of the socket, which the window's work (a message box)
            // must not outlast.
            QTimer::singleShot(0, this, [this, paths = std::move(*paths)]() mutable {
                onPaths_(std::move(paths));
            });
        });
        timer->start(kSenderTimeoutMs);
    }
}

}  // namespace palomix
