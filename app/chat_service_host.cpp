#include "app/chat.h"

namespace quibo {

// Set by the build (CMake cache variable CHAT_SERVICE_HOST).
Text ChatServiceHost() {
  return QUIBO_CHAT_SERVICE_HOST;
}

}  // namespace quibo
