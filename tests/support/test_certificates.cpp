#include "tests/support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace quibo::test {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "test certificates: %s failed\n", what);
  std::abort();
}

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertDeleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Cert = std::unique_ptr<X509, CertDeleter>;

Key MakeKey() {
  Key key(EVP_EC_gen("P-256"));
  if (!key) Fail("EVP_EC_gen");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!extension || X509_add_ext(cert, extension, -1) != 1) Fail("X509_add_ext");
  X509_EXTENSION_free(extension);
}

// A certificate for `subjectKey` named `commonName`, signed by `issuerKey`
// (self-signed when `issuer` is null).
Cert MakeCertificate(const char* commonName, EVP_PKEY* subjectKey, X509* issuer,
                     EVP_PKEY* issuerKey, long serial, bool authority) {
  Cert cert(X509_new());
  if (!cert) Fail("X509_new");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
  X509_set_pubkey(cert.get(), subjectKey);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer ? issuer : cert.get();
  if (authority) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1");
    AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
  }
  AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  if (X509_sign(cert.get(), issuerKey, EVP_sha256()) == 0) Fail("X509_sign");
  return cert;
}

std::string CertificatePem(X509* cert) {
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new(BIO_s_mem()));
  if (PEM_write_bio_X509(bio.get(), cert) != 1) Fail("PEM_write_bio_X509");
  char* data = nullptr;
  long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, size_t(length));
}

std::string KeyPem(EVP_PKEY* key) {
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new(BIO_s_mem()));
  if (PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    Fail("PEM_write_bio_PrivateKey");
  }
  char* data = nullptr;
  long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, size_t(length));
}

// Files made by WriteTemporaryFile, removed when the program ends.
struct TemporaryFiles {
  std::mutex mutex;
  std::vector<std::string> paths;
  ~TemporaryFiles() {
    for (const std::string& path : paths) unlink(path.c_str());
  }
};

TemporaryFiles& TemporaryFilesMade() {
  static TemporaryFiles files;
  return files;
}

}  // namespace

TestCertificates MakeTestCertificates() {
  Key authorityKey = MakeKey();
  Cert authority = MakeCertificate("quibo test authority", authorityKey.get(), nullptr,
                                   authorityKey.get(), 1, true);
  Key serverKey = MakeKey();
  Cert server =
      MakeCertificate("127.0.0.1", serverKey.get(), authority.get(), authorityKey.get(), 2, false);
  return {.authorityPem = CertificatePem(authority.get()),
          .server = {.certificatePem = CertificatePem(server.get()),
                     .privateKeyPem = KeyPem(serverKey.get())}};
}

std::string WriteTemporaryFile(const std::string& contents) {
  std::string path = (std::filesystem::temp_directory_path() / "quibo-XXXXXX").string();
  int fd = mkstemp(path.data());
  if (fd < 0) Fail("mkstemp");
  size_t written = 0;
  while (written < contents.size()) {
    ssize_t n = write(fd, contents.data() + written, contents.size() - written);
    if (n <= 0) Fail("write");
    written += size_t(n);
  }
  close(fd);
  TemporaryFiles& files = TemporaryFilesMade();
  std::lock_guard lock(files.mutex);
  files.paths.push_back(path);
  return path;
}

}  // namespace quibo::test
