#!/usr/bin/env bash
# The zip and the installer hold exactly the release folder's programs, the tray icon and the usage
# text (UTF-8 with a BOM, for Notepad); SHA256SUMS verifies.   packages_test.sh RELEASE_DIR VERSION DIST_DIR
set -euo pipefail
cd "$1"
zip=vornadel-$2-win32.zip setup=vornadel-$2-setup.exe dist=$3
files="README-zh.txt update.exe vornadel.exe xptray.ico"
fail() { echo "FAIL: $*" >&2; exit 1; }
got=$(unzip -Z1 "$zip" | sort | xargs)
[ "$got" = "Vornadel/ $(printf 'Vornadel/%s ' $files | xargs)" ] || fail "zip holds: $got"
# The installer's plug-ins unpack into $PLUGINSDIR; the uninstaller is written at install time.
got=$(7z l -slt "$setup" | sed -n '/^----------$/,$s/^Path = //p' | grep -v '^\$PLUGINSDIR/' | sort | xargs)
[ "$got" = "README-zh.txt uninstall.exe update.exe vornadel.exe xptray.ico" ] || fail "installer holds: $got"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" -d "$tmp/zip"
7z x -y -bso0 -o"$tmp/setup" "$setup" $files >/dev/null
for f in $files; do
  cmp "$tmp/zip/Vornadel/$f" "$tmp/setup/$f" || fail "$f differs between zip and installer"
  [ $f = README-zh.txt ] || cmp "$dist/$f" "$tmp/setup/$f" || fail "$f differs from $dist"
done
[ "$(head -c3 "$tmp/setup/README-zh.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "usage text has no BOM"
sha256sum -c SHA256SUMS
