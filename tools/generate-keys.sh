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

# C definition of a byte array holding a binary file: c_array NAME SIZE FILE.
c_array() {
    echo "const uint8_t $1[$2] = {"
    c_bytes "$3"
    echo "};"
}

# A new RSA key of BITS bits in $work/PRIVATE.pem, its public half as
# $work/pubBITS.pem and .der, and its identifier (SHA-256 of the DER form) as
# $work/idBITS: rsa_key BITS PRIVATE.
rsa_key() {
    "$openssl" genpkey -algorithm RSA -pkeyopt "rsa_keygen_bits:$1" -out "$work/$2.pem" 2>/dev/null
    "$openssl" pkey -in "$work/$2.pem" -pubout -out "$work/pub$1.pem"
    "$openssl" pkey -pubin -in "$work/pub$1.pem" -outform DER -out "$work/pub$1.der"
    "$openssl" dgst -sha256 -binary -out "$work/id$1" "$work/pub$1.der"
}

rsa_key 2048 dev

sed '/^-----/d' "$work/pub2048.pem" > "$work/body2048"
if [[ "$(wc -c < "$work/body2048")" -ne 399 || "$(wc -c < "$work/pub2048.der")" -ne 294 ]]; then
    echo "generate-keys: unexpected public key form" >&2
    exit 1
fi

rsa_key 3072 k3072

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
EOF
    c_array pubkey2048_OFFICIAL_SHA256 32 "$work/id2048"
    cat <<'EOF'

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
EOF
    c_array pubkey3072_OFFICIAL_SHA256 32 "$work/id3072"
    cat <<'EOF'

// Storage key material: the AES key is HMAC-SHA256(seed1, seed2), built at
// run time; seed3 is the initialisation vector.
EOF
    c_array seed1 32 "$work/seed1"
    c_array seed2 32 "$work/seed2"
    c_array seed3 16 "$work/seed3"
    cat <<'EOF'

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
