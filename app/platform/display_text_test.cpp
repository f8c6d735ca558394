#include "app/platform/display_text.h"

#include <gtest/gtest.h>

#include <QString>

namespace quibo {
namespace {

TEST(DisplayTextTest, GbkTextAndWidgetTextMatch) {
  struct Case {
    const char* name;
    Text text;
    QString display;
  } cases[] = {
      {"empty", "", QString()},
      {"ascii", "hi", QStringLiteral("hi")},
      {"two-byte", "\xC4\xE3\xBA\xC3", QString::fromUtf16(u"你好")},
      {"line break", "a\r\nb", QStringLiteral("a\nb")},
      {"no-break space", "\x81\x30\x84\x32", QString(QChar(0x00A0))},
      {"beyond the basic plane", "\x90\x30\x81\x30", QString::fromUcs4(U"\U00010000", 1)},
      {"euro sign", "\xA2\xE3", QString(QChar(0x20AC))},
      {"full-width space", "\xA1\xA1", QString(QChar(0x3000))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToDisplayText(c.text), c.display);
    EXPECT_EQ(FromDisplayText(c.display), c.text);
  }
}

TEST(DisplayTextTest, EveryBreakOfAWidgetReadsAsCrLf) {
  struct Case {
    const char* name;
    QString display;
    Text text;
  } cases[] = {
      {"paragraph separator", QStringLiteral("a") + QChar(0x2029) + "b", "a\r\nb"},
      {"line separator", QStringLiteral("a") + QChar(0x2028) + "b", "a\r\nb"},
      {"crlf", QStringLiteral("a\r\nb"), "a\r\nb"},
      {"lone lf", QStringLiteral("a\nb"), "a\r\nb"},
      {"lone cr kept", QStringLiteral("a\rb"), "a\rb"},
      {"zero ends the text", QStringLiteral("ab") + QChar(0) + "c", "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FromDisplayText(c.display), c.text);
  }
}

}  // namespace
}  // namespace quibo
