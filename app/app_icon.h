// The window's icon, drawn in code.
#pragma once

#include <QIcon>

namespace lumatrim {

QIcon ApplicationIcon();

}  // namespace lumatrim
