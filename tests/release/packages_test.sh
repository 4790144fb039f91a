#!/usr/bin/env bash
# The zip and the installer hold exactly the release folder's programs, the tray icon and the usage text
# (UTF-8 with a BOM, for Notepad); SHA256SUMS verifies.   packages_test.sh RELEASE_DIR VERSION DIST_DIR
set -euo pipefail
cd "$1"
zip=vornadel-$2-win32.zip setup=vornadel-$2-setup.exe
programs="update.exe vornadel.exe xptray.ico"
fail() { echo "FAIL: $*" >&2; exit 1; }
got=$(unzip -Z1 "$zip" | sort | xargs)
[ "$got" = "Vornadel/ $(printf 'Vornadel/%s ' README-zh.txt $programs | xargs)" ] || fail "zip holds: $got"
# The installer's plug-ins unpack into $PLUGINSDIR; the uninstaller is written at install time.
got=$(7z l -slt "$setup" | sed -n '/^----------$/,$s/^Path = //p' | grep -v '^\$PLUGINSDIR/' | sort | xargs)
[ "$got" = "README-zh.txt uninstall.exe $programs" ] || fail "installer holds: $got"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" -d "$tmp"
for f in $programs; do
  cmp "$3/$f" "$tmp/Vornadel/$f" || fail "$f differs from $3"
done
[ "$(head -c3 "$tmp/Vornadel/README-zh.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "usage text has no BOM"
sha256sum -c SHA256SUMS
