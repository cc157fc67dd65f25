#include "hrzserver/tls_identity.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "statement.h"
#include "store.h"

namespace hrzsrv {
namespace {

// Long enough that nobody replaces a pinned certificate because it ran out.
constexpr int kValidDays = 20 * 365;
// Up to an hour of clock difference between server and client does not matter.
constexpr long kBackdateSeconds = 3600;

template <auto Free>
struct OpensslFree {
  template <typename T>
  void operator()(T* p) const {
    Free(p);
  }
};
using KeyHandle = std::unique_ptr<EVP_PKEY, OpensslFree<EVP_PKEY_free>>;
using CertHandle = std::unique_ptr<X509, OpensslFree<X509_free>>;
using BioHandle = std::unique_ptr<BIO, OpensslFree<BIO_free>>;
using ExtensionHandle = std::unique_ptr<X509_EXTENSION, OpensslFree<X509_EXTENSION_free>>;

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

// "DNS:name" or "IP:address" for a subjectAltName entry.
std::string AltName(const std::string& name) {
  unsigned char address[sizeof(in6_addr)];
  const bool ip = inet_pton(AF_INET, name.c_str(), address) == 1 ||
                  inet_pton(AF_INET6, name.c_str(), address) == 1;
  return (ip ? "IP:" : "DNS:") + name;
}

// A name that may stand in a subjectAltName list: no separators, no blanks.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name.find_first_of(", \t\r\n") == std::string::npos;
}

std::string AltNames(const std::vector<std::string>& extraNames) {
  std::vector<std::string> names = {"localhost", "127.0.0.1", "::1"};
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0 && IsPlainName(host)) names.emplace_back(host);
  for (const std::string& name : extraNames) {
    if (IsPlainName(name)) names.push_back(name);
  }
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ",") + AltName(name);
  return list;
}

bool AddExtension(X509* cert, X509V3_CTX* context, const char* name, const std::string& value) {
  ExtensionHandle extension(X509V3_EXT_nconf(nullptr, context, name, value.c_str()));
  return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

bool BuildCertificate(X509* cert, EVP_PKEY* key, const std::vector<std::string>& extraNames) {
  unsigned char serial[16];
  if (RAND_bytes(serial, sizeof serial) != 1) return false;
  serial[0] &= 0x7f;  // a positive number
  std::unique_ptr<BIGNUM, OpensslFree<BN_free>> number(BN_bin2bn(serial, sizeof serial, nullptr));
  if (!number || !BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(cert))) return false;
  X509_NAME* name = X509_get_subject_name(cert);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
  return X509_set_version(cert, 2) == 1 &&
         X509_gmtime_adj(X509_getm_notBefore(cert), -kBackdateSeconds) != nullptr &&
         X509_time_adj_ex(X509_getm_notAfter(cert), kValidDays, 0, nullptr) != nullptr &&
         X509_set_pubkey(cert, key) == 1 &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                    reinterpret_cast<const unsigned char*>("hrzserver"), -1, -1,
                                    0) == 1 &&
         X509_set_issuer_name(cert, name) == 1 &&
         AddExtension(cert, &context, "subjectAltName", AltNames(extraNames)) &&
         AddExtension(cert, &context, "basicConstraints", "critical,CA:FALSE") &&
         AddExtension(cert, &context, "keyUsage", "critical,digitalSignature") &&
         AddExtension(cert, &context, "extendedKeyUsage", "serverAuth") &&
         X509_sign(cert, key, EVP_sha256()) > 0;
}

// Only the owner reads the store once it holds a private key; an existing file is never
// made more open than it was.
void RestrictStoreFiles(const std::string& storePath) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string file = storePath + suffix;
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) ::chmod(file.c_str(), info.st_mode & 0600);
  }
}

}  // namespace

bool MakeTlsIdentity(const std::vector<std::string>& extraNames, TlsIdentity* out,
                     std::string* error) {
  KeyHandle key(EVP_EC_gen("P-256"));
  CertHandle cert(X509_new());
  BioHandle certText(BIO_new(BIO_s_mem()));
  BioHandle keyText(BIO_new(BIO_s_secmem()));  // wiped when freed
  if (!key || !cert || !certText || !keyText ||
      !BuildCertificate(cert.get(), key.get(), extraNames) ||
      PEM_write_bio_X509(certText.get(), cert.get()) != 1 ||
      PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
          1) {
    if (error) *error = "cannot make the server's TLS key and certificate";
    return false;
  }
  out->certificatePem = BioText(certText.get());
  out->privateKeyPem = BioText(keyText.get());
  return true;
}

bool EnsureTlsIdentity(StoreDb& db, TlsIdentity* out, std::string* error) {
  {
    Statement read(db, "SELECT CCERT, CKEY FROM SRV_TLS WHERE NID = 1");
    if (read.Row()) {
      out->certificatePem = read.Text(0);
      out->privateKeyPem = read.Text(1);
      return true;
    }
  }
  if (!MakeTlsIdentity({}, out, error)) return false;
  Statement write(db, "INSERT INTO SRV_TLS(NID, CCERT, CKEY) VALUES(1, ?, ?)");
  write.Bind(1, out->certificatePem).Bind(2, out->privateKeyPem);
  if (!write.Done()) {
    if (error) *error = "cannot keep the TLS key in the store: " + db.LastError();
    return false;
  }
  return true;
}

bool LoadTlsIdentity(const std::string& storePath, TlsIdentity* out, std::string* error) {
  std::unique_ptr<StoreDb> db = OpenStoreDb(storePath, false, error);
  if (!db || !AddLaterTables(*db, error)) return false;
  RestrictStoreFiles(storePath);
  return EnsureTlsIdentity(*db, out, error);
}

std::string FingerprintOfDer(std::span<const unsigned char> der) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(der.data(), der.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0f];
  }
  return text;
}

std::string CertificateFingerprint(std::string_view certificatePem) {
  BioHandle bio(BIO_new_mem_buf(certificatePem.data(), static_cast<int>(certificatePem.size())));
  CertHandle cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!cert) return {};
  unsigned char* der = nullptr;
  const int size = i2d_X509(cert.get(), &der);
  if (size <= 0) return {};
  std::string fingerprint = FingerprintOfDer({der, static_cast<std::size_t>(size)});
  OPENSSL_free(der);
  return fingerprint;
}

}  // namespace hrzsrv
