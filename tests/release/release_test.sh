#!/usr/bin/env bash
# scripts/release.sh as a publisher runs it, with a throwaway update key, code-signing certificate and time-stamp
# server made here: without a key it stops before building and says how to make one; with all three, every program,
# the uninstaller and the installer are signed and time-stamped, and update.exe carries the key; --unsigned builds
# the same tree without the key and names its files so.   release_test.sh WORK_DIR VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1 version=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$work"
cd "$work"
rm -rf keys out no-key-tree
mkdir keys
openssl ecparam -name prime256v1 -genkey -noout -out keys/update-key.pem
openssl ec -in keys/update-key.pem -pubout -out keys/update-key-pub.pem 2>/dev/null
password='test "pass" word'
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Vornadel test signer" -addext extendedKeyUsage=codeSigning \
  -days 2 -keyout keys/sign.key -out keys/sign.crt 2>/dev/null
pw=$password openssl pkcs12 -export -inkey keys/sign.key -in keys/sign.crt -out keys/sign.pfx -passout env:pw
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Vornadel test time-stamps" \
  -addext extendedKeyUsage=critical,timeStamping -days 2 -keyout keys/tsa.key -out keys/tsa.crt 2>/dev/null
cat keys/sign.crt keys/tsa.crt >keys/trusted.pem
python3 "$here/timestamp_server.py" keys >keys/port &
server=$!
trap 'kill $server' EXIT
for _ in $(seq 50); do [ -s keys/port ] && break; sleep 0.1; done

# Whatever the caller's shell holds stays out.
release() {
  env -u VORNADEL_UPDATE_KEY -u VORNADEL_UPDATE_URL -u VORNADEL_SIGN_PFX -u VORNADEL_SIGN_PASSWORD \
    -u VORNADEL_SIGN_TIMESTAMP "$@"
}
script=$here/../../scripts/release.sh

if release bash "$script" --tree "$work/no-key-tree" --out out >no-key.log 2>&1; then fail "released without a key"; fi
grep -q 'VORNADEL_UPDATE_KEY' no-key.log && grep -q 'openssl ecparam' no-key.log || fail "no explanation: $(cat no-key.log)"
[ ! -e no-key-tree ] && [ ! -e out ] || fail "built without a key"

release VORNADEL_UPDATE_KEY=keys/update-key-pub.pem VORNADEL_SIGN_PFX=keys/sign.pfx VORNADEL_SIGN_PASSWORD="$password" \
  VORNADEL_SIGN_TIMESTAMP="http://127.0.0.1:$(cat keys/port)/" bash "$script" --tree "$work/tree" --out out
bash "$here/packages_test.sh" out "vornadel-$version-win32.zip" "vornadel-$version-setup.exe" "$work/tree/dist" \
  "$work/keys/trusted.pem" "$work/keys/update-key-pub.pem"

release bash "$script" --unsigned --tree "$work/tree" --out out 2>&1 | tee unsigned.log
[ "$(grep -c 'installs unsigned downloads' unsigned.log)" = 1 ] || fail "not one warning about a keyless build"
grep -q 'not Authenticode-signed' unsigned.log || fail "no word about the missing certificate"
grep -qx 'VORNADEL_UPDATE_KEY:FILEPATH=' tree/CMakeCache.txt || fail "the tree kept the key"
[ "$(ls out | xargs)" = "SHA256SUMS vornadel-$version-setup-unsigned.exe vornadel-$version-win32-unsigned.zip" ] ||
  fail "out holds: $(ls out | xargs)"
bash "$here/packages_test.sh" out "vornadel-$version-win32-unsigned.zip" "vornadel-$version-setup-unsigned.exe" \
  "$work/tree/dist"
