#include "app/platform/display_text.h"

#include "text/encodings.h"
#include "text/primitives.h"

namespace quibo {

QString ToDisplayText(const Text& text) {
  const Bytes units = MultiByteToUtf16(ReplaceText(text, "\r\n", "\n"), kCodePageGbk);
  QString display;
  display.reserve(static_cast<qsizetype>(units.size() / 2));
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(units[i] | (units[i + 1] << 8));
    if (unit == 0) break;
    display.append(QChar(unit));
  }
  return display;
}

Text FromDisplayText(const QString& display) {
  Bytes units;
  units.reserve(static_cast<std::size_t>(display.size()) * 2 + 4);
  const auto put = [&units](char16_t unit) {
    units.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    units.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (qsizetype i = 0; i < display.size(); ++i) {
    const char16_t unit = display[i].unicode();
    if (unit == u'\r' && i + 1 < display.size() && display[i + 1] == u'\n') continue;
    if (unit == u'\n' || unit == QChar::LineSeparator || unit == QChar::ParagraphSeparator) {
      put(u'\r');
      put(u'\n');
      continue;
    }
    if (unit == 0) break;
    put(unit);
  }
  put(0);
  return Utf16ToMultiByte(units, kCodePageGbk);
}

}  // namespace quibo
