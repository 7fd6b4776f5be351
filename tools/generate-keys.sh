#!/usr/bin/env bash
# Generates the product's built-in key material, once:
#   - the printer key pair (2048-bit RSA): its public half goes into
#     secblob/printer_key.cpp, its private half becomes the development key
#     tests/fixtures/keys/printer-dev-private.pem;
#   - a 3072-bit printer key whose identifier the blob header can name: only
#     its public half is kept (tests/fixtures/keys/printer-3072-public.pem);
#   - the storage seeds (32, 32 and 16 random bytes), with the 3072-bit key
#     identifier, in secblob/keys.cpp.
#
# The outputs are committed. Running it again would make every stored
# password of earlier builds unreadable, so it refuses unless --force.
#
# Usage: tools/generate-keys.sh [--force]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
openssl="${OPENSSL:-openssl}"

key_cpp="$root/secblob/printer_key.cpp"
seeds_cpp="$root/secblob/keys.cpp"
fixtures="$root/tests/fixtures/keys"
dev_private="$fixtures/printer-dev-private.pem"
public3072="$fixtures/printer-3072-public.pem"

if [[ "${1:-}" != "--force" ]]; then
    for f in "$key_cpp" "$dev_private" "$public3072"; do
        if [[ -e "$f" ]]; then
            echo "generate-keys: $f exists; key material is generated once (use --force to replace it)" >&2
            exit 1
        fi
    done
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
umask 077

# C array initialiser of a binary file: "0x12, 0x34, ..." eight bytes a line.
c_bytes() {
    od -An -v -tx1 "$1" | tr -s ' \n' '\n\n' | sed '/^$/d' |
        awk '{ printf "%s0x%s,", (NR % 8 == 1 ? (NR > 1 ? "\n    " : "    ") : " "), $1 } END { print "" }'
}

"$openssl" genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/dev.pem" 2>/dev/null
"$openssl" pkey -in "$work/dev.pem" -pubout -out "$work/pub2048.pem"
"$openssl" pkey -pubin -in "$work/pub2048.pem" -outform DER -out "$work/pub2048.der"
"$openssl" dgst -sha256 -binary -out "$work/id2048" "$work/pub2048.der"

sed '/^-----/d' "$work/pub2048.pem" > "$work/body2048"
if [[ "$(wc -c < "$work/body2048")" -ne 399 || "$(wc -c < "$work/pub2048.der")" -ne 294 ]]; then
    echo "generate-keys: unexpected public key form" >&2
    exit 1
fi

"$openssl" genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out "$work/k3072.pem" 2>/dev/null
"$openssl" pkey -in "$work/k3072.pem" -pubout -out "$work/pub3072.pem"
"$openssl" pkey -pubin -in "$work/pub3072.pem" -outform DER -out "$work/pub3072.der"
"$openssl" dgst -sha256 -binary -out "$work/id3072" "$work/pub3072.der"

"$openssl" rand -out "$work/seed1" 32
"$openssl" rand -out "$work/seed2" 32
"$openssl" rand -out "$work/seed3" 16

{
    cat <<'EOF'
// The printers' public key, compiled into every deliverable. Written by
// tools/generate-keys.sh; a build with ZLK_PRINTER_PUBKEY set compiles a
// file generated from that key instead.
#include "secblob/secblob.h"

namespace zlk::secblob {

// PEM body without its marker lines.
const char RSA_PUBKEY_2048_OFFICIAL[] =
EOF
    sed 's/^\(.*\)$/    "\1\\n"/' "$work/body2048"
    cat <<'EOF'
    ;
static_assert(sizeof RSA_PUBKEY_2048_OFFICIAL - 1 == 399, "a 2048-bit key's PEM body is 399 characters");
const std::size_t RSA_PUBKEY_2048_OFFICIAL_LEN = sizeof RSA_PUBKEY_2048_OFFICIAL - 1;

// SHA-256 of the key's DER form; names the key in the blob header.
const uint8_t pubkey2048_OFFICIAL_SHA256[32] = {
EOF
    c_bytes "$work/id2048"
    cat <<'EOF'
};

}  // namespace zlk::secblob
EOF
} > "$work/printer_key.cpp"

{
    cat <<'EOF'
// Key material that every build carries unchanged. Written by
// tools/generate-keys.sh.
#include "secblob/secblob.h"

namespace zlk::secblob {

// SHA-256 of the DER form of the 3072-bit printer key.
const uint8_t pubkey3072_OFFICIAL_SHA256[32] = {
EOF
    c_bytes "$work/id3072"
    cat <<'EOF'
};

// Storage key material: the AES key is HMAC-SHA256(seed1, seed2), built at
// run time; seed3 is the initialisation vector.
const uint8_t seed1[32] = {
EOF
    c_bytes "$work/seed1"
    cat <<'EOF'
};
const uint8_t seed2[32] = {
EOF
    c_bytes "$work/seed2"
    cat <<'EOF'
};
const uint8_t seed3[16] = {
EOF
    c_bytes "$work/seed3"
    cat <<'EOF'
};

}  // namespace zlk::secblob
EOF
} > "$work/keys.cpp"

umask 022
mkdir -p "$fixtures"
install -m 0644 "$work/printer_key.cpp" "$key_cpp"
install -m 0644 "$work/keys.cpp" "$seeds_cpp"
install -m 0644 "$work/pub3072.pem" "$public3072"
install -m 0644 "$work/dev.pem" "$dev_private"
echo "generate-keys: wrote $key_cpp, $seeds_cpp, $dev_private, $public3072"
