#!/usr/bin/env bash
# The Debian package on this machine: scripts/package builds it; it holds exactly the files of
# package-files.txt, passes lintian without errors or warnings, installs with apt-get, runs from
# /usr/bin, carries a valid desktop entry, metainfo and man page, and apt-get purge removes every
# file it brought. Needs root; skipped (77) where a tavrink package is installed already, so
# that a user's own copy is never touched.
set -euo pipefail

source "$(dirname "$0")/../util/e2e.sh"
source=${TAVRINK_SOURCE:?}
require "to install a package" dpkg-deb apt-get lintian desktop-file-validate appstreamcli man xvfb-run dbus-run-session
! dpkg-query -W -f='${Status}' tavrink 2>/dev/null | grep -q "install ok" || skip "a tavrink package is installed here already"

"$source/scripts/package" >/dev/null
deb=$(ls "$source"/build/release/tavrink_*.deb)
trap 'apt-get purge -y -qq tavrink >/dev/null 2>&1 || true' EXIT

diff <(dpkg-deb -c "$deb" | awk '{print $6}' | sort) "$source/tests/e2e/package-files.txt" ||
    fail "the package does not hold exactly the files of package-files.txt"
grep -q '"TavrinkDistribution": "deb"' <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./opt/Tavrink.app/Info.json) ||
    fail "the packaged bundle is not marked as the package manager's"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6widgets6* && "$depends" == *libsodium23* && "$depends" == *libqt6dbus6* ]] ||
    fail "dpkg-shlibdeps found no dependencies: $depends"
lint=$(lintian "$deb" 2>&1 | grep -E '^[EW]: ' || true)
[ -z "$lint" ] || fail "lintian: $lint"
echo "ok: $(basename "$deb") ($(stat -c %s "$deb") bytes) holds the expected files and passes lintian"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" </dev/null >/dev/null
[ "$(readlink -f /usr/bin/tavrink)" = /opt/Tavrink.app/bin/tavrink ] || fail "/usr/bin/tavrink does not lead to the bundle"
env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=$(mktemp -d) /usr/bin/tavrink --print --no-public | grep -q "^Hostname: " ||
    fail "tavrink --print from /usr/bin printed no hostname"
[[ "$(/usr/bin/tavrink --version)" == "Tavrink $(dpkg-deb -f "$deb" Version) ("* ]] ||
    fail "tavrink --version: $(/usr/bin/tavrink --version)"
# The panel item of the package's copy runs, and writes no entries of its own in the user's folders.
home=$(mktemp -d)
status=0
HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data timeout 4 xvfb-run -a dbus-run-session -- \
    /usr/bin/tavrink --no-public >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed panel item did not keep running (status $status)"
[ ! -e "$home/data/applications" ] && [ ! -e "$home/data/dbus-1" ] || fail "the package's copy wrote entries into the user's data folder"
rm -rf "$home"
desktop-file-validate /usr/share/applications/com.kelvandrosi.Tavrink.desktop || fail "the desktop entry does not validate"
appstreamcli validate --no-net /usr/share/metainfo/com.kelvandrosi.Tavrink.metainfo.xml >/dev/null ||
    fail "the metainfo does not validate"
[ "$(man -w tavrink)" = /usr/share/man/man1/tavrink.1.gz ] || fail "man tavrink does not find the page"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l /usr/share/man/man1/tavrink.1.gz 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the man page has warnings: $warnings"
echo "ok: installed, tavrink --print and --version run from /usr/bin; entry, metainfo and man page validate"

files=$(dpkg -L tavrink | while read -r path; do [ -d "$path" ] || echo "$path"; done)
apt-get purge -y -qq tavrink </dev/null >/dev/null
for path in $files /opt/Tavrink.app; do
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after apt-get purge"
done
echo "ok: apt-get purge removes every file"
echo "e2e: all checks passed"
