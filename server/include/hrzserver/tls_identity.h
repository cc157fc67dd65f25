// The certificate and private key that hrzserver's TLS presents. Both are made when a store
// is created and kept in a private table of the store; the key never leaves the server.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hrzsrv {

struct TlsIdentity {
  std::string certificatePem;
  std::string privateKeyPem;
};

// A new P-256 key and a self-signed certificate naming localhost, this machine's host name,
// 127.0.0.1, ::1 and each of extraNames (host names or IP addresses).
bool MakeTlsIdentity(const std::vector<std::string>& extraNames, TlsIdentity* out,
                     std::string* error);

// The identity kept in the store at storePath; one is made and kept there first when the
// store has none yet (a store of an earlier version), and the store's files are then made
// readable by their owner only.
bool LoadTlsIdentity(const std::string& storePath, TlsIdentity* out, std::string* error);

// SHA-256 of a certificate's DER bytes as upper-case hex pairs joined by colons, the form
// "openssl x509 -fingerprint -sha256" prints.
std::string FingerprintOfDer(std::span<const unsigned char> der);
// The same for a PEM certificate; empty when the text holds none.
std::string CertificateFingerprint(std::string_view certificatePem);

}  // namespace hrzsrv
