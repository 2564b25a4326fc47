#include "app/DesktopBus.h"

#include <QUuid>

namespace palomix {

BusLink::BusLink(Kind kind, QString address) : kind_(kind), address_(std::move(address)) {}

BusLink::~BusLink() {
    if (!name_.isEmpty()) {
        QDBusConnection::disconnectFromBus(name_);
    }
}

QDBusConnection BusLink::Connection() {
    if (address_.isEmpty()) {
        return kind_ == Kind::Session ? QDBusConnection::sessionBus()
                                      : QDBusConnection::systemBus();
    }
    if (name_.isEmpty()) {
        name_ = QStringLiteral("palomix-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    }
    // Made once; later calls find it by its name.
    return QDBusConnection::connectToBus(address_, name_);
}

}  // namespace palomix
