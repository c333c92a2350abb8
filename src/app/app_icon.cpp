#include "app/app_icon.h"

#include <QSize>
#include <QString>

// A static library's resources are registered only when something calls their initialiser;
// without this call the linker drops them and every icon comes out empty.
static void registerIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace torvane::app {

QIcon appIcon() {
    static const bool registered = (registerIconResources(), true);
    (void)registered;
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/torvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace torvane::app
