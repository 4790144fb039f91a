#!/usr/bin/env bash
# The release's files: the zip and the installer hold exactly the programs,
# the tray icon and the usage text (for Notepad: UTF-8 with a BOM), the same
# bytes as the release folder; SHA256SUMS verifies.
#   packages_test.sh RELEASE_DIR VERSION DIST_DIR
set -euo pipefail
dir=$1 version=$2 dist=$3
cd "$dir"
zip=vornadel-$version-win32.zip setup=vornadel-$version-setup.exe
programs=$'README-zh.txt\nupdate.exe\nvornadel.exe\nxptray.ico'
fail() { echo "FAIL: $*" >&2; exit 1; }

got=$(unzip -Z1 "$zip" | sort)
[ "$got" = "$(printf 'Vornadel/\n%s' "$programs" | sed '2,$s|^|Vornadel/|' | sort)" ] || fail "zip holds: $got"
# The installer's own plug-ins unpack into $PLUGINSDIR; the uninstaller is written at install time.
got=$(7z l -slt "$setup" | sed -n '/^----------$/,$s/^Path = //p' | grep -v '^\$PLUGINSDIR/' | sort)
[ "$got" = "$(printf '%s\nuninstall.exe' "$programs" | sort)" ] || fail "installer holds: $got"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" -d "$tmp/zip"
7z x -y -bso0 -o"$tmp/setup" "$setup" vornadel.exe update.exe xptray.ico README-zh.txt >/dev/null
for f in vornadel.exe update.exe xptray.ico; do
  cmp "$dist/$f" "$tmp/zip/Vornadel/$f" && cmp "$dist/$f" "$tmp/setup/$f" || fail "$f differs from $dist"
done
cmp "$tmp/zip/Vornadel/README-zh.txt" "$tmp/setup/README-zh.txt" || fail "usage texts differ"
[ "$(head -c3 "$tmp/setup/README-zh.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "usage text has no BOM"

sha256sum -c SHA256SUMS
echo "release files complete"
