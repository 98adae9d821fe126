#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {

DesktopOpener& Opener() {
    static DesktopOpener opener;
    return opener;
}

} // namespace

bool OpenWithDesktop(const QString& path) {
    if (Opener())
        return Opener()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

DesktopOpener SetDesktopOpener(DesktopOpener opener) {
    DesktopOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

} // namespace platform
