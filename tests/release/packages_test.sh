#!/usr/bin/env bash
# The zip and the installer hold exactly the release folder's programs, the tray icon and the usage text
# (UTF-8 with a BOM, for Notepad); SHA256SUMS lists both and verifies. With certificates, every program in both,
# the uninstaller and the installer carry an Authenticode signature and a time-stamp that they verify, and the
# programs are the release folder's apart from it; with an update key, both copies of update.exe carry its point.
#   packages_test.sh RELEASE_DIR ZIP SETUP DIST_DIR [CERTS.pem [UPDATE-KEY-PUB.pem]]   (ZIP, SETUP: in RELEASE_DIR)
set -euo pipefail
cd "$1"
zip=$2 setup=$3 dist=$4 certs=${5:-} key=${6:-}
programs="update.exe vornadel.exe xptray.ico"
fail() { echo "FAIL: $*" >&2; exit 1; }
got=$(unzip -Z1 "$zip" | sort | xargs)
[ "$got" = "Vornadel/ $(printf 'Vornadel/%s ' README-zh.txt $programs | xargs)" ] || fail "zip holds: $got"
# The installer's plug-ins unpack into $PLUGINSDIR; the uninstaller is written at install time.
got=$(7z l -slt "$setup" | sed -n '/^----------$/,$s/^Path = //p' | grep -v '^\$PLUGINSDIR/' | sort | xargs)
[ "$got" = "README-zh.txt uninstall.exe $programs" ] || fail "installer holds: $got"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" -d "$tmp/zip"
7z x -o"$tmp/setup" "$setup" >/dev/null

signed() {
  osslsigncode verify -CAfile "$certs" -TSA-CAfile "$certs" -in "$1" >"$tmp/verify" 2>&1 ||
    fail "$1: no Authenticode signature from $certs"
  grep -q 'Timestamp Server Signature verification: ok' "$tmp/verify" || fail "$1: no time-stamp from $certs"
}
[ -z "$key" ] || openssl pkey -pubin -in "$key" -outform DER | tail -c 64 >"$tmp/point"
for f in $programs; do
  for copy in "$tmp/zip/Vornadel/$f" "$tmp/setup/$f"; do
    if [ -n "$certs" ] && [[ $f == *.exe ]]; then
      signed "$copy"
      osslsigncode remove-signature -in "$copy" -out "$copy.bare" >/dev/null
      copy=$copy.bare
    fi
    cmp "$dist/$f" "$copy" || fail "$copy differs from $dist/$f"
    if [ -n "$key" ] && [ "$f" = update.exe ]; then
      python3 -c 'import sys; point, exe = (open(f, "rb").read() for f in sys.argv[1:]); sys.exit(point not in exe)' \
        "$tmp/point" "$copy" || fail "$copy does not carry the key of $key"
    fi
  done
done
if [ -n "$certs" ]; then
  signed "$tmp/setup/uninstall.exe"
  signed "$setup"
fi
[ "$(head -c3 "$tmp/zip/Vornadel/README-zh.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "usage text has no BOM"
[ "$(awk '{print $2}' SHA256SUMS | xargs)" = "$(basename "$zip") $(basename "$setup")" ] || fail "SHA256SUMS lists: $(awk '{print $2}' SHA256SUMS | xargs)"
sha256sum -c SHA256SUMS
