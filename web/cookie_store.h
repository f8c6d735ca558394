// The process-wide cookie store shared by requests made without a caller's
// cookie text. libcurl cannot share cookies between handles on concurrent
// threads, so each request seeds its own handle's cookie engine from this
// store and merges what the handle learned back, under the store's lock.
// Lines are in the cookie engine's own format (tab-separated, one a cookie).
#pragma once

#include "text/types.h"

namespace quibo {

// Every cookie the store holds.
[[nodiscard]] TextList CookieStoreLines();

// Applies what one request changed: cookies that were `seeded` and are no
// longer among `learned` are removed (they expired or were deleted); every
// learned cookie replaces the stored one of its domain, path and name.
// Changes other requests made meanwhile to other cookies are kept.
void MergeIntoCookieStore(const TextList& seeded, const TextList& learned);

void ClearCookieStore();

}  // namespace quibo
