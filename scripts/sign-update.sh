#!/usr/bin/env bash
# Signs an update for the updater built with the matching public key:
#   bash scripts/sign-update.sh [--public PUBLIC.pem] PRIVATE.pem FILE    writes FILE.sig
# The signature is openssl's DER ECDSA P-256 over SHA-256 of FILE's bytes; it is
# checked against the key's public half before FILE.sig is put in place, and with
# --public also against PUBLIC.pem, the key the updater was built with
# (VORNADEL_UPDATE_KEY), so that a signature made with the wrong key fails here
# rather than on every user's machine.
set -euo pipefail

fail() { echo "sign-update: $*" >&2; exit 1; }
usage="usage: $0 [--public PUBLIC.pem] PRIVATE.pem FILE   (writes FILE.sig)"

public=""
args=()
while [ $# -gt 0 ]; do
  case $1 in
    --public) [ $# -ge 2 ] || fail "$usage"; public=$2; shift ;;
    *) args+=("$1") ;;
  esac
  shift
done
[ ${#args[@]} -eq 2 ] || fail "$usage"
key=${args[0]}
file=${args[1]}
command -v openssl >/dev/null || fail "openssl is not installed"
[ -f "$key" ] && [ -r "$key" ] || fail "no readable private key file: $key"
[ -f "$file" ] && [ -r "$file" ] || fail "no readable file to sign: $file"
[ -s "$file" ] || fail "the file to sign is empty: $file"
if [ -n "$public" ]; then
  [ -f "$public" ] && [ -r "$public" ] || fail "no readable public key file: $public"
  openssl pkey -pubin -in "$public" -noout 2>/dev/null || fail "$public is not a public key openssl can read"
fi

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
checked="the public key of $key"
if [ -n "$public" ]; then
  openssl dgst -sha256 -verify "$public" -signature "$work/sig" "$file" >/dev/null 2>&1 ||
    fail "$key is not the partner of $public, the updater's key: its signature would be refused; $sig left unchanged"
  checked+=" and $public"
fi
mv -f "$work/sig" "$sig"
echo "wrote $sig ($(wc -c <"$sig") bytes), verified with $checked"
