// Text as the widgets hold it: GBK (GB18030) bytes with "\r\n" line breaks
// on our side, Unicode with the widgets' own line breaks on Qt's side.
#pragma once

#include <QString>

#include "text/types.h"

namespace quibo {

// GBK text as a widget shows it; "\r\n" becomes "\n". Every GB18030
// character survives the trip. ToDisplayText("a\r\n\xC4\xE3") == u"a\n你".
[[nodiscard]] QString ToDisplayText(const Text& text);

// A widget's text as GBK; each line or paragraph break ("\n", "\r\n",
// U+2028, U+2029) becomes "\r\n", so text inserted by the program reads back
// byte for byte. A U+0000 ends the text (Text holds no zero byte).
[[nodiscard]] Text FromDisplayText(const QString& display);

}  // namespace quibo
