// One window per user, and what a later start does: `palomix FILE...` run while a window is
// open hands its paths to that window, which queues them as a drop (with no paths it comes to
// the front), and ends at once. The two talk over a local socket of the user's own: a socket
// file beside the single-instance lock, in a folder only the user can enter
// (platform/SingleInstance.h), made with QLocalServer::UserAccessOption; where the lock has no
// folder (Windows) a pipe named after the user. The window holds the lock, so a socket file
// found when it starts listening is one a killed window left behind, and is replaced.
//
// The message is binary, so a name may hold any bytes: the magic "PLXH", the number of paths,
// then each path as its length and its bytes (32-bit big-endian numbers). The window answers
// with one byte once it has taken the paths. The sending side gives up after its time limit,
// never waiting longer in all.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;

namespace palomix {

// The arguments of `palomix FILE...` as the paths they mean here, in this process's current
// folder (IncomingPath), so that a window of another current folder takes them as meant; a
// first "--" only ends the options (there are none), and an empty argument names nothing.
std::vector<std::string> PathsFromArguments(const std::vector<std::string>& arguments);

// The socket name of this user's window.
QString HandoverServerName();

QByteArray EncodeHandover(const std::vector<std::string>& paths);
// The paths of a whole message; nullopt while more bytes are needed. Throws
// std::invalid_argument for bytes that are not such a message (or one beyond `limit` bytes).
std::optional<std::vector<std::string>> DecodeHandover(const QByteArray& bytes,
                                                       qsizetype limit = qsizetype(64) << 20);

// Hands the paths to the window listening at `name`; true when the window took them. Tries to
// connect again while the window may still be starting, until `timeout` is over.
bool HandToRunningWindow(const QString& name, const std::vector<std::string>& paths,
                         std::chrono::milliseconds timeout);

// The window's side: listens at `name` and hands every whole message's paths to `onPaths`.
class HandoverServer final : public QObject {
    Q_OBJECT

public:
    using PathsHandler = std::function<void(std::vector<std::string> paths)>;
    HandoverServer(const QString& name, PathsHandler onPaths, QObject* parent = nullptr);

    bool Listening() const;
    // Why it is not listening.
    QString ErrorText() const;

private:
    void Accept();

    QLocalServer* server_;
    PathsHandler onPaths_;
};

}  // namespace palomix
