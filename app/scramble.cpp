#include "app/scramble.h"

#include "raster/errors.h"

namespace lumatrim {

namespace {

// Both walks count characters in 16 bits.
constexpr qsizetype kLongestText = 32767;

template <typename Substitute>
QByteArray Walk(const QByteArray& text, const QByteArray& key, const std::function<void()>& pump,
                Substitute substitute) {
  if (text.size() > kLongestText) throw OverflowError("Overflow");
  if (key.isEmpty()) return text;
  QByteArray out;
  out.reserve(text.size());
  qsizetype k = 0;
  for (const char character : text) {
    if (pump) pump();
    const int c = static_cast<unsigned char>(character);
    const int kc = static_cast<unsigned char>(key[k]);
    k = (k + 1) % key.size();
    out.append(static_cast<char>(substitute(c, kc)));
  }
  return out;
}

}  // namespace

QByteArray Scramble(const QByteArray& text, const QByteArray& key,
                    const std::function<void()>& pump) {
  return Walk(text, key, pump, [](int c, int kc) {
    const int code = c + kc;
    return code > 255 ? code - 255 : code;
  });
}

QByteArray Unscramble(const QByteArray& text, const QByteArray& key,
                      const std::function<void()>& pump) {
  return Walk(text, key, pump, [](int c, int kc) {
    const int code = c - kc;
    return code < 1 ? code + 255 : code;
  });
}

}  // namespace lumatrim
