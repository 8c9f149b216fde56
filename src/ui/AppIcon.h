#pragma once

#include <QIcon>

namespace tavsms::AppIcon {

// The program's icon (a speech bubble on a blue tile), drawn at the sizes
// window managers and task bars ask for.
QIcon icon();

} // namespace tavsms::AppIcon
