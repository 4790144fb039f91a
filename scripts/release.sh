#!/usr/bin/env bash
# Builds the 32-bit shipping programs with the publisher's update key and
# writes the release for Windows users into build/release/:
#   vornadel-<version>-win32.zip   a top folder Vornadel/ with the programs
#   vornadel-<version>-setup.exe   the per-user installer
#   SHA256SUMS                     for both, as `sha256sum -c` reads it
# <version> is the CMake project version. Installs what it needs.
#   VORNADEL_UPDATE_KEY=update-key-pub.pem bash scripts/release.sh [--unsigned] [--tree DIR] [--out DIR]
# The environment:
#   VORNADEL_UPDATE_KEY      the update key's public half (PEM), compiled into update.exe; required
#   VORNADEL_UPDATE_URL      the updater's download address (else the tree's, or the built-in default)
#   VORNADEL_SIGN_PFX        a code-signing certificate with its private key (PKCS#12): Authenticode
#   VORNADEL_SIGN_PASSWORD   its password
#   VORNADEL_SIGN_TIMESTAMP  an RFC 3161 time-stamp server's URL
# --unsigned builds update.exe without a key, for trying the packages out:
# it then installs unsigned downloads, and the file names end in -unsigned.
# The programs are built in their own tree (--tree, default build/shipping),
# so that the key stays out of the trees the other scripts build.
# The packaging step alone, on programs already built (CMake's `release`
# target and the tests run it this way):
#   bash scripts/release.sh --package DIST_DIR OUT_DIR VERSION [--amd64] [--unsigned]
# --amd64 makes the installer with 64-bit stubs, for 64-bit test programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "release: $*" >&2; exit 1; }

# Signs FILE in place; the installer script calls this for the uninstaller and the installer.
authenticode() {
  local file=$1 timestamp=()
  [ -n "${VORNADEL_SIGN_TIMESTAMP:-}" ] && timestamp=(-ts "$VORNADEL_SIGN_TIMESTAMP")
  rm -f "$file.signed"
  # The password goes through a pipe, not the command line.
  osslsigncode sign -pkcs12 "$VORNADEL_SIGN_PFX" -readpass <(printf %s "${VORNADEL_SIGN_PASSWORD:-}") -h sha256 \
    -n Vornadel "${timestamp[@]}" -in "$file" -out "$file.signed" >/dev/null ||
    fail "osslsigncode could not sign $file with $VORNADEL_SIGN_PFX (VORNADEL_SIGN_PASSWORD?)${VORNADEL_SIGN_TIMESTAMP:+ and the time-stamp server $VORNADEL_SIGN_TIMESTAMP}"
  mv -f "$file.signed" "$file"
}

package() {
  local dist=$1 out=$2 version=$3 suffix="" tool f
  local defines=()
  shift 3
  for f; do
    case $f in
      --amd64) defines+=(-DAMD64) ;;
      --unsigned) suffix=-unsigned ;;
      *) fail "unknown option $f" ;;
    esac
  done
  for tool in zip makensis sha256sum; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
  done
  for f in vornadel.exe update.exe xptray.ico; do
    [ -f "$dist/$f" ] || fail "missing $dist/$f: build the dist target first"
  done
  [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "bad version '$version'"

  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  local zip=vornadel-$version-win32$suffix.zip setup=vornadel-$version-setup$suffix.exe
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  mkdir "$stage/Vornadel"
  cp "$dist/vornadel.exe" "$dist/update.exe" "$dist/xptray.ico" "$root/installer/README-zh.txt" "$stage/Vornadel/"

  if [ -n "${VORNADEL_SIGN_PFX:-}" ]; then
    command -v osslsigncode >/dev/null || fail "osslsigncode is missing: run scripts/install-deps.sh"
    [ -f "$VORNADEL_SIGN_PFX" ] && [ -r "$VORNADEL_SIGN_PFX" ] || fail "VORNADEL_SIGN_PFX: no readable file $VORNADEL_SIGN_PFX"
    # makensis runs the signing of the uninstaller and the installer; not from this folder, perhaps.
    VORNADEL_SIGN_PFX=$(realpath "$VORNADEL_SIGN_PFX")
    authenticode "$stage/Vornadel/vornadel.exe"
    authenticode "$stage/Vornadel/update.exe"
    defines+=(-DAUTHENTICODE="bash \"$root/scripts/release.sh\" --authenticode")
  else
    echo "release: no VORNADEL_SIGN_PFX: the release is not Authenticode-signed"
  fi

  # Made aside and moved in together, so that a failure leaves no half release.
  (cd "$stage" && zip -q -X -r "$stage/$zip" Vornadel)
  makensis -V2 -NOCD -DVERSION="$version" -DSOURCE_DIR="$stage/Vornadel" -DOUTFILE="$stage/$setup" "${defines[@]}" \
    "$root/installer/vornadel.nsi"
  (cd "$stage" && sha256sum "$zip" "$setup" >SHA256SUMS)
  # A release of the other kind must not be left beside this one.
  rm -f "$out/vornadel-$version-win32.zip" "$out/vornadel-$version-setup.exe" \
    "$out/vornadel-$version-win32-unsigned.zip" "$out/vornadel-$version-setup-unsigned.exe"
  mv -f "$stage/$zip" "$stage/$setup" "$stage/SHA256SUMS" "$out/"
  echo "release files in $out:"
  (cd "$out" && ls -l "$zip" "$setup" SHA256SUMS)
}

case ${1:-} in
  --package)
    shift
    package "$@"
    exit 0
    ;;
  --authenticode)
    authenticode "$2"
    exit 0
    ;;
esac

unsigned="" tree=$root/build/shipping out=$root/build/release
while [ $# -gt 0 ]; do
  case $1 in
    --unsigned) unsigned=1 ;;
    --tree) tree=${2:?--tree needs a folder}; shift ;;
    --out) out=${2:?--out needs a folder}; shift ;;
    *) fail "usage: [VORNADEL_UPDATE_KEY=PUBLIC.pem] $0 [--unsigned] [--tree DIR] [--out DIR]" ;;
  esac
  shift
done

key=""
if [ -n "$unsigned" ]; then
  echo "warning: --unsigned: update.exe is built without an update key and installs unsigned downloads; the files are named *-unsigned" >&2
elif [ -z "${VORNADEL_UPDATE_KEY:-}" ]; then
  cat >&2 <<'EOF'
release: VORNADEL_UPDATE_KEY is not set: update.exe must carry the update key. Make a key pair once (README, "Publishing an update"):
  openssl ecparam -name prime256v1 -genkey -noout -out update-key.pem && openssl ec -in update-key.pem -pubout -out update-key-pub.pem
keep update-key.pem private and run: VORNADEL_UPDATE_KEY=/path/to/update-key-pub.pem bash scripts/release.sh  (--unsigned: no key, a trial)
EOF
  exit 1
else
  [ -f "$VORNADEL_UPDATE_KEY" ] && [ -r "$VORNADEL_UPDATE_KEY" ] ||
    fail "VORNADEL_UPDATE_KEY: no readable file $VORNADEL_UPDATE_KEY"
  key=$(realpath "$VORNADEL_UPDATE_KEY")
fi

bash "$root/scripts/install-deps.sh"
# The key is always given, empty too: a tree remembers the last one.
settings=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=OFF
          -DVORNADEL_UPDATE_KEY="$key")
[ -n "${VORNADEL_UPDATE_URL:-}" ] && settings+=(-DVORNADEL_UPDATE_URL="$VORNADEL_UPDATE_URL")
# The configure step's own warning about a missing key would say twice what --unsigned said.
log=$(cmake -S "$root" -B "$tree" "${settings[@]}" 2>&1 >/dev/null) || { printf '%s\n' "$log" >&2; exit 1; }
log=$(grep -v 'VORNADEL_UPDATE_KEY is not set' <<<"$log" || true)
[ -z "$log" ] || printf '%s\n' "$log" >&2
# The release always ships 32-bit: it runs on 32-bit Windows too.
cmake --build "$tree" --target dist -j "$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
package "$tree/dist" "$out" "$version" ${unsigned:+--unsigned}
