// The reversible substitution that keeps the recorded sample list unreadable at a glance. It
// works on 8-bit codes: paths are scrambled as their UTF-8 bytes.
#pragma once

#include <QByteArray>
#include <functional>

namespace lumatrim {

// Eight lowercase ASCII letters, the same for both directions.
inline constexpr char kScrambleKey[] = "velkitra";

// code = c + key code, less 255 when above 255. Throws OverflowError for texts longer than 32767
// characters. pump, when given, runs once per character.
QByteArray Scramble(const QByteArray& text, const QByteArray& key,
                    const std::function<void()>& pump = {});

// code = c - key code, plus 255 when below 1. Undoes Scramble for every code from 1 to 255.
QByteArray Unscramble(const QByteArray& text, const QByteArray& key,
                      const std::function<void()>& pump = {});

}  // namespace lumatrim
