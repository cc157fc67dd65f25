// The user's trust in servers, kept in the user's configuration folder
// (${XDG_CONFIG_HOME:-~/.config}/hrzuser): "ca.pem", certificates that verify every server,
// or else "known_servers", the certificate fingerprint accepted for each server on first
// contact ("host:port FINGERPRINT" a line).
#pragma once

#include <optional>
#include <string>

namespace hrzdb {

std::string TrustFolder();
std::string KnownServersFile();
// The CA file when the user has one; empty otherwise.
std::string CaFile();
// hostPort as locations write it; the host compares without case.
std::optional<std::string> PinnedFingerprint(const std::string& hostPort);
// Adds a pin; false (and error) when the file cannot be written or hostPort holds another.
bool Pin(const std::string& hostPort, const std::string& fingerprint, std::string* error);

}  // namespace hrzdb
