// Where the main window was and how large, kept from one start to the next in the setting
// "Window Geometry" as "LEFT TOP WIDTH HEIGHT", with " maximized" after it when it was.
#pragma once

#include <QRect>
#include <QString>
#include <optional>

namespace lumatrim {

inline const QString kKeyWindowGeometry = QStringLiteral("Window Geometry");

struct WindowPlacement {
  // The frame's top left corner and the size of the window's inside, as it was last shown
  // neither maximized nor minimized.
  QRect normal;
  bool maximized = false;
};

QString FormatPlacement(const WindowPlacement& placement);

// Nothing for a text that is not four whole numbers (and " maximized"), or for a size that is
// not positive.
std::optional<WindowPlacement> ParsePlacement(const QString& text);

// Whether a window at that place would show enough of itself on one of the screens to be
// grabbed and moved; a screen unplugged since must not leave it out of reach.
bool ReachableOnAScreen(const QRect& frame);

}  // namespace lumatrim
