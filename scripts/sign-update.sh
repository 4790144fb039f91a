#!/usr/bin/env bash
# Signs an update for the updater built with the matching public key:
#   bash scripts/sign-update.sh PRIVATE.pem FILE    writes FILE.sig
# The signature is openssl's DER ECDSA P-256 over SHA-256 of FILE's bytes; it is
# checked against the key's public half before FILE.sig is put in place.
set -euo pipefail

fail() { echo "sign-update: $*" >&2; exit 1; }

[ $# -eq 2 ] || fail "usage: $0 PRIVATE.pem FILE   (writes FILE.sig)"
key=$1
file=$2
command -v openssl >/dev/null || fail "openssl is not installed"
[ -f "$key" ] && [ -r "$key" ] || fail "no readable private key file: $key"
[ -f "$file" ] && [ -r "$file" ] || fail "no readable file to sign: $file"
[ -s "$file" ] || fail "the file to sign is empty: $file"

grep -q -- '-----BEGIN PUBLIC KEY-----' "$key" && fail "$key is a public key; signing needs the private one"
details=$(openssl pkey -in "$key" -noout -text 2>/dev/null) ||
  fail "$key is not a private key openssl can read (the README shows how to make a key pair)"
grep -q '^ASN1 OID: prime256v1$' <<<"$details" ||
  fail "$key is not an ECDSA P-256 (prime256v1) private key"

sig=$file.sig
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl dgst -sha256 -sign "$key" -out "$work/sig" "$file" || fail "openssl could not sign $file"
openssl pkey -in "$key" -pubout -out "$work/pub.pem" || fail "openssl could not derive the public key of $key"
openssl dgst -sha256 -verify "$work/pub.pem" -signature "$work/sig" "$file" >/dev/null ||
  fail "the new signature does not verify; $sig left unchanged"
mv -f "$work/sig" "$sig"
echo "wrote $sig ($(wc -c <"$sig") bytes), verified with the public key of $key"
