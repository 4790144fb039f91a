#!/usr/bin/env bash
# Installs what building and testing need on Debian: the MinGW-w64 cross
# compilers, Wine, a virtual X display and the Chinese locale and fonts.
# The shipping build is 32-bit; the tests run a 64-bit build under 64-bit
# Wine, which also works on hosts that cannot execute 32-bit Linux programs.
# zip, unzip, nsis, osslsigncode and p7zip-full make, sign and check the release
# (scripts/release.sh).
#   bash scripts/install-deps.sh [--wine32]
# --wine32 also installs Debian's 32-bit Wine; only for hosts that can run
# 32-bit programs (scripts/test32.sh checks that first).
set -euo pipefail

packages=(
  cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest
  wine wine64 fonts-wine
  xvfb x11-apps x11-utils xdotool imagemagick fonts-wqy-microhei
  locales python3 curl openssl
  zip unzip nsis osslsigncode p7zip-full
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_ apt-get update -qq
  DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine converts command-line arguments from the Unix locale; it must exist.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sudo_ sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | sudo_ tee -a /etc/locale.gen >/dev/null
  sudo_ locale-gen >/dev/null
fi

# 32-bit Wine, for running the tests of the 32-bit build.
if [ "${1:-}" = --wine32 ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "installing: wine32:i386"
  dpkg --print-foreign-architectures | grep -qx i386 || sudo_ dpkg --add-architecture i386
  sudo_ apt-get update -qq
  DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
fi
