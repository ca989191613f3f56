#!/usr/bin/env bash
# Builds the Debian package from a built tree into a temporary folder and checks what it
# holds, what it declares, and what lintian and the desktop validators say of it.
# Usage: check_package.sh CPACK BUILD_DIR
set -euo pipefail
cpack=$1
build=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! "$cpack" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb="$work/out/vellumin_1.00-1_${arch}.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; echo "FAIL: no $(basename "$deb")" >&2; exit 1; }

# Declared fields.
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    local actual
    actual=$(field "$1")
    [ "$actual" = "$2" ] || fail "$1 is '$actual', expected '$2'"
}
expect_field Package vellumin
expect_field Version 1.00-1
expect_field Architecture "$arch"
expect_field Section web
expect_field Priority optional
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)' is not 'Name <address>'"
# A synopsis and a long description below it.
[ "$(field Description | wc -l)" -ge 3 ] || fail "the description has no long part"

# dpkg-shlibdeps names each library package the binary links, with a lower bound on
# its version taken from the library's symbols.
depends=$(field Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libcurl4 libicu72 libc6 libstdc++6; do
    [[ ", $depends," =~ ", $package (>= "[0-9][^\)]*")," ]] \
        || fail "Depends lacks '$package (>= version)': $depends"
done
# The platform plugin that draws the window, which no library links to.
[[ ", $depends," =~ ", qt6-qpa-plugins," ]] || fail "Depends lacks qt6-qpa-plugins: $depends"

# Contents: exactly these files, the binary executable by all.
expected="/usr/bin/vellumin
/usr/share/applications/vellumin.desktop
/usr/share/doc/vellumin/changelog.Debian.gz
/usr/share/doc/vellumin/copyright
/usr/share/icons/hicolor/16x16/apps/vellumin.png
/usr/share/icons/hicolor/32x32/apps/vellumin.png
/usr/share/icons/hicolor/48x48/apps/vellumin.png
/usr/share/icons/hicolor/scalable/apps/vellumin.svg
/usr/share/man/man1/vellumin.1.gz
/usr/share/metainfo/com.orvak.vellumin.metainfo.xml"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 ~ /^-/ { sub(/^\./, "", $6); print $6 }' <<<"$listing" | sort)
if [ "$files" != "$expected" ]; then
    fail "the package's files differ from the expected ones:"
    diff <(echo "$expected") <(echo "$files") >&2 || true
fi
grep -Eq '^-rwxr-xr-x root/root .* \./usr/bin/vellumin$' <<<"$listing" \
    || fail "/usr/bin/vellumin is not an executable owned by root"

dpkg-deb -x "$deb" "$work/root"
if readelf -S --wide "$work/root/usr/bin/vellumin" | grep -Eq '\.symtab|\.debug_'; then
    fail "/usr/bin/vellumin is not stripped"
fi
[[ $(gzip -dc "$work/root/usr/share/man/man1/vellumin.1.gz" | head -n 1) == ".TH VELLUMIN 1 "* ]] \
    || fail "vellumin.1.gz is not the vellumin(1) page"
# gzip -n: no file name (flag bit 3) and no time (bytes 4 to 7) in the header, or the
# same sources would not give the same package.
for gz in usr/share/man/man1/vellumin.1.gz usr/share/doc/vellumin/changelog.Debian.gz; do
    [ -f "$work/root/$gz" ] || continue
    read -r flags t0 t1 t2 t3 < <(od -An -tu1 -j3 -N5 "$work/root/$gz")
    (( (flags & 8) == 0 && t0 + t1 + t2 + t3 == 0 )) || fail "$gz carries a name or a time stamp"
done
desktop-file-validate "$work/root/usr/share/applications/vellumin.desktop" >"$work/desktop.log" 2>&1 \
    || { cat "$work/desktop.log" >&2; fail "desktop-file-validate rejects the launcher"; }
appstreamcli validate --no-net "$work/root/usr/share/metainfo/com.orvak.vellumin.metainfo.xml" >"$work/appstream.log" 2>&1 \
    || { cat "$work/appstream.log" >&2; fail "appstreamcli rejects the AppStream data"; }

# Debian's own checks, warnings included. The package is not meant for Debian's archive,
# so its first changelog entry closes no bug asking for it.
if ! lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian reports errors or warnings"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "vellumin_1.00-1_${arch}.deb: contents, fields, validators and lintian as expected"
