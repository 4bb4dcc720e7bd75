#include "graphui/AppIcon.h"

#include <QFile>

// The icons are compiled into this static library; make sure they are registered.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

QIcon AppIcon() {
    static bool registered = (InitIconResources(), true);
    (void)registered;
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QString(":/kwsekunde/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QString AppTitle() { return QStringLiteral("KW_bew_sekunde"); }
