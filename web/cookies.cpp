#include "web/cookies.h"

#include "text/primitives.h"

namespace quibo {
namespace {

bool IsDeleted(const Text& item) {
  return TextRight(item, 8) == "=deleted";
}

}  // namespace

Text MergeCookies(Text& cookies, Text& receivedCookies) {
  cookies = RemoveSpaces(cookies);
  receivedCookies = RemoveSpaces(receivedCookies);
  const TextList old = SplitText(cookies, ";");
  TextList merged = SplitText(receivedCookies, ";");
  for (const Text& item : old) {
    if (!HasCookieNamed(merged, CookieName(item))) ListAppend(merged, item);
  }
  Text joined;
  for (const Text& item : merged) {
    if (!IsDeleted(item)) joined.append(item).append("; ");
  }
  joined = TextLeft(joined, TextLength(joined) - 2);
  cookies = RemoveDuplicateItems(joined, "; ");
  return cookies;
}

Text CookieName(const Text& item) {
  const Index equals = FindText(item, "=");
  return TrimSpaces(equals == -1 ? item : TextLeft(item, equals - 1));
}

bool HasCookieNamed(const TextList& list, const Text& name) {
  for (const Text& item : list) {
    if (TextEquals(CookieName(item), name)) return true;
  }
  return false;
}

Text RemoveDuplicateItems(const Text& text, const Text& sep) {
  TextList kept;
  Text out;
  for (const Text& item : SplitText(text, sep)) {
    if (ListContains(kept, item)) continue;
    ListAppend(kept, item);
    out.append(item).append(sep);
  }
  return TextLeft(out, TextLength(out) - TextLength(sep));
}

bool ListContains(const TextList& list, const Text& value) {
  for (const Text& item : list) {
    if (TextEquals(item, value)) return true;
  }
  return false;
}

}  // namespace quibo
