#include "app/QtFolderEvents.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>

namespace palomix {

namespace {

QString QtPath(const std::string& folder) {
    return QDir::fromNativeSeparators(QString::fromStdString(folder));
}

std::string PathOf(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

QtFolderEvents::QtFolderEvents(Deliver deliver) : deliver_(std::move(deliver)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { deliver_({}); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            [this](const QString& path) { FolderChanged(path); });
}

std::error_code QtFolderEvents::Add(const std::string& folder) {
    const QString path = QtPath(folder);
    if (watcher_.directories().contains(path)) {
        return {};
    }
    if (!QFileInfo(path).isDir()) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    // Refused for a folder the system cannot watch (its limit of watched folders reached).
    return watcher_.addPath(path) ? std::error_code()
                                  : std::make_error_code(std::errc::no_space_on_device);
}

void QtFolderEvents::Remove(const std::string& folder) {
    watcher_.removePath(QtPath(folder));
}

void QtFolderEvents::WakeAt(std::optional<Clock::time_point> when) {
    if (!when) {
        timer_.stop();
        return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*when - Clock::now()).count();
    timer_.start(static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000)));
}

void QtFolderEvents::FolderChanged(const QString& path) {
    std::vector<FolderEvent> events{
        FolderEvent{FolderEvent::Kind::FolderChanged, PathOf(path), {}, false}};
    if (!watcher_.directories().contains(path)) {
        // Qt no longer watches it: it was removed or moved away.
        events.push_back(FolderEvent{FolderEvent::Kind::Gone, PathOf(path), {}, true});
    }
    deliver_(std::move(events));
}

}  // namespace palomix
