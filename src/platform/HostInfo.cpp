#include "platform/HostInfo.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

namespace platform {

QString HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

QString HostIpv4Address() {
    const QByteArray name = HostName().toLocal8Bit();
    if (name.isEmpty())
        return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    return ok ? QString::fromLatin1(text) : QString();
}

QString FirstAdapterMacAddress() {
    const QDir adapters(QStringLiteral("/sys/class/net"));
    for (const QString& name : adapters.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (name == QLatin1String("lo"))
            continue;
        QFile file(adapters.filePath(name + QStringLiteral("/address")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> parts = file.readAll().trimmed().split(':');
        if (parts.size() != 6)
            continue;
        QStringList bytes;
        bool allZero = true;
        for (const QByteArray& part : parts) {
            bool ok = false;
            const int value = part.toInt(&ok, 16);
            if (!ok)
                break;
            allZero = allZero && value == 0;
            bytes.append(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
        }
        if (bytes.size() == 6 && !allZero)
            return bytes.join(QLatin1Char('-'));
    }
    return {};
}

} // namespace platform
