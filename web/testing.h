// Settings of the web layer meant for tests only: shorter timeouts, a
// certificate authority to trust, a clean cookie store. A program never
// calls these; the defaults are what a user gets.
#pragma once

#include <chrono>

#include "text/types.h"

namespace quibo {

inline constexpr std::chrono::milliseconds kDefaultConnectTimeout{30'000};
inline constexpr std::chrono::milliseconds kDefaultIdleTimeout{60'000};

// Connecting may take at most `connect`; a transfer with no byte moving
// either way for `idle` fails. Applies to requests that start afterwards.
void SetWebTimeoutsForTesting(std::chrono::milliseconds connect, std::chrono::milliseconds idle);

// Trust the certificate authorities in this PEM file instead of the system's
// store; the empty text goes back to the system's store.
void SetTrustedAuthorityFileForTesting(const Text& pemFilePath);

// Forgets every cookie the process-wide cookie store holds.
void ClearCookieStoreForTesting();

}  // namespace quibo
