#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace lumatrim {

namespace {

constexpr int kReachable = 48;  // pixels of the window that must show on one screen

}  // namespace

QString FormatPlacement(const WindowPlacement& placement) {
  const QRect& r = placement.normal;
  QString text = QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
  if (placement.maximized) text += QStringLiteral(" maximized");
  return text;
}

std::optional<WindowPlacement> ParsePlacement(const QString& text) {
  const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
  if (parts.size() != 4 && !(parts.size() == 5 && parts[4] == u"maximized")) return std::nullopt;
  int numbers[4] = {};
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    numbers[i] = parts[i].toInt(&ok);
    if (!ok) return std::nullopt;
  }
  if (numbers[2] <= 0 || numbers[3] <= 0) return std::nullopt;
  return WindowPlacement{QRect(numbers[0], numbers[1], numbers[2], numbers[3]), parts.size() == 5};
}

bool ReachableOnAScreen(const QRect& frame) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect shown = screen->availableGeometry().intersected(frame);
    if (shown.width() >= kReachable && shown.height() >= kReachable) return true;
  }
  return false;
}

}  // namespace lumatrim
