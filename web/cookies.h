// Cookie texts: items separated by ";", as a rule name=value. MergeCookies
// keeps a caller's cookie text up to date with the cookies a response set.
#pragma once

#include "text/types.h"

namespace quibo {

// Merges `receivedCookies` into `cookies` and writes both back:
// `receivedCookies` loses every space (0x20 and A1 A1), its final ";" kept;
// `cookies` becomes the received items in their order, then each old item
// whose name no received item has (first of a name only), items ending in
// "=deleted" dropped, exact repeats kept once, separated by "; ". Returns a
// copy of the merged `cookies`.
// cookies "a=1; b=2", received "b=3; " -> cookies "b=3; a=1", received "b=3;".
Text MergeCookies(Text& cookies, Text& receivedCookies);

// The text before the item's first "=" (the whole item when it has none),
// spaces at both ends removed. CookieName(" sid = x") == "sid".
[[nodiscard]] Text CookieName(const Text& item);

// True when some item's CookieName equals `name` exactly (case included).
[[nodiscard]] bool HasCookieNamed(const TextList& list, const Text& name);

// `text` split at `sep` with every repeated item after its first dropped,
// joined again by `sep`. RemoveDuplicateItems("a; b; a", "; ") == "a; b".
[[nodiscard]] Text RemoveDuplicateItems(const Text& text, const Text& sep);

// True when some item equals `value` exactly.
[[nodiscard]] bool ListContains(const TextList& list, const Text& value);

}  // namespace quibo
