// Throwaway TLS certificates made at test time: a self-signed certificate
// authority and a server certificate it signs for the address 127.0.0.1.
#pragma once

#include <string>

#include "tests/support/loopback_server.h"

namespace quibo::test {

struct TestCertificates {
  std::string authorityPem;  // the CA certificate a client must trust
  TlsIdentity server;        // for LoopbackServer; valid for IP 127.0.0.1
};

// A fresh CA and server identity (P-256 keys, valid for one day). Aborts the
// test program if OpenSSL fails, which only a broken installation does.
[[nodiscard]] TestCertificates MakeTestCertificates();

// Writes `contents` to a new file in the temporary directory and returns its
// path; the file is removed when the program ends.
[[nodiscard]] std::string WriteTemporaryFile(const std::string& contents);

}  // namespace quibo::test
