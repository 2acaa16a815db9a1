#include "ui/app/app_icons.h"

// The resources live in a static library: register them before the first use.
static void RegisterIconResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(chimeon);
        return true;
    }();
    (void)registered;
}

namespace chimeon {

QIcon AppIcon(const QString& name) {
    RegisterIconResources();
    return QIcon(QStringLiteral(":/icons/") + name);
}

}  // namespace chimeon
