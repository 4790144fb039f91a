#!/usr/bin/env bash
# scripts/sign-update.sh --public: a signature that the updater's key would refuse fails at publishing time and
# leaves the previous FILE.sig as it was.   sign_update_test.sh WORK_DIR
set -euo pipefail
sign=$(cd "$(dirname "$0")/../../scripts" && pwd)/sign-update.sh
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$1"
mkdir -p "$1"
cd "$1"
for k in updater stranger; do
  openssl ecparam -name prime256v1 -genkey -noout -out $k.pem
  openssl ec -in $k.pem -pubout -out $k-pub.pem 2>/dev/null
done
echo 'an update' >vornadel.exe
bash "$sign" --public updater-pub.pem updater.pem vornadel.exe
openssl dgst -sha256 -verify updater-pub.pem -signature vornadel.exe.sig vornadel.exe
cp vornadel.exe.sig good.sig
echo 'a newer update' >vornadel.exe
# private key | --public
while read -r key public; do
  if bash "$sign" "$key" vornadel.exe --public "$public" 2>err.txt; then fail "$key signed for $public"; fi
  cat err.txt
  cmp good.sig vornadel.exe.sig || fail "$key with $public changed the signature file"
done <<'CASES'
stranger.pem updater-pub.pem
updater.pem stranger-pub.pem
updater.pem updater.pem
updater.pem missing-pub.pem
CASES
