#include "app/DroppedPaths.h"

#include <QByteArray>
#include <QDir>
#include <QMimeData>
#include <QUrl>

#include "platform/TextCodec.h"

namespace palomix {

std::string LocalPathOfUrl(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    QUrl local = url;
    if (local.host().compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        local.setHost(QString());
    }
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(local.path(QUrl::FullyEncoded).toLatin1());
    if (local.host().isEmpty() &&
        !IsValidUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        // Only a POSIX name can be anything but UTF-8: its bytes are the name.
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return QDir::toNativeSeparators(local.toLocalFile()).toStdString();
}

std::vector<std::string> DroppedPaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (mime == nullptr || !mime->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        if (std::string path = LocalPathOfUrl(url); !path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

}  // namespace palomix
