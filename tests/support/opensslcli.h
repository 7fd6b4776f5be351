// Opens encrypted blobs with the openssl command line tool only, as an
// independent check that what we write is what a printer can open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zlk::test {

// The data of a key-transport blob, unwrapped with the RSA private key at
// keyPath. Throws when a step of the tool fails.
std::string OpenSslOpenKeyTransportBlob(const std::vector<uint8_t>& blob, const std::string& keyPath);

// The data of a storage blob made with key HMAC-SHA256(hmacKey, hmacMessage)
// and the given initialisation vector.
std::string OpenSslOpenStorageBlob(const std::vector<uint8_t>& blob, const std::vector<uint8_t>& hmacKey,
                                   const std::vector<uint8_t>& hmacMessage, const std::vector<uint8_t>& iv);

std::string Hex(const std::vector<uint8_t>& bytes);

// A password in the stored form the print dialogs write: the Base64 text of
// a storage blob made with the built-in key material.
std::string StoredPassword(const std::string& password);

}  // namespace zlk::test
