// The chat service's host as tests choose it: test programs link this in
// place of the build-time host, so an exchange reaches a loopback server.
#pragma once

#include "text/types.h"

namespace quibo::test {

// Every later ChatServiceHost() returns `host` ("127.0.0.1:<port>").
void SetChatServiceHost(const Text& host);

}  // namespace quibo::test
