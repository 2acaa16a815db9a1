#pragma once

#include <QIcon>
#include <QString>

namespace chimeon {

// An icon drawn for this program, by file name ("today.svg"); the program's own icon is
// "chimeon.svg".
QIcon AppIcon(const QString& name);

}  // namespace chimeon
