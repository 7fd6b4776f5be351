// The printers' public key, compiled into every deliverable. Written by
// tools/generate-keys.sh; a build with ZLK_PRINTER_PUBKEY set compiles a
// file generated from that key instead.
#include "secblob/secblob.h"

namespace zlk::secblob {

// PEM body without its marker lines.
const char RSA_PUBKEY_2048_OFFICIAL[] =
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAwXarRz/CqlcpsUtCBECq\n"
    "fUBIqFaeutdArGKfOozgq6h/LfmKqbbg5YytQfEswimxhh2o3YPpNIlHQv7NrFS8\n"
    "Uiwm5dIV//SQP58k7t131+8fQm3ggvpNy43XIrH4G6mvGKLU3SqPBaxmrt+/7nnS\n"
    "6BFPUShxgINdEjwj/2Chq/OqD1zjhWNzfQ7QLbxWKiCHFxekLG2/ihdYwYWLSs7e\n"
    "tJjvN5e3JlAK354oZgpQrQdelf/SdIoXcZxUoc6reqxzcBgYIJlS5fzTmJfKyegx\n"
    "e3yXjQdKiSzxck4+cq66kIbTi6OaSwMB5HBPf6NcOehv+y+obrJJZAUNcOrQAvvc\n"
    "hQIDAQAB\n";
static_assert(sizeof RSA_PUBKEY_2048_OFFICIAL - 1 == 399, "a 2048-bit key's PEM body is 399 characters");
const std::size_t RSA_PUBKEY_2048_OFFICIAL_LEN = sizeof RSA_PUBKEY_2048_OFFICIAL - 1;

// SHA-256 of the key's DER form; names the key in the blob header.
const uint8_t pubkey2048_OFFICIAL_SHA256[32] = {
    0x43, 0xa6, 0x23, 0x26, 0x2b, 0xee, 0x9e, 0x53, 0x5e, 0x6b, 0x1b, 0x54, 0xb6, 0x93, 0x4e, 0x66,
    0xe7, 0xf4, 0xbb, 0x2c, 0xfc, 0xbf, 0x44, 0xc3, 0xc2, 0xe2, 0x1a, 0xb0, 0x00, 0xe8, 0xde, 0x58,
};

}  // namespace zlk::secblob
