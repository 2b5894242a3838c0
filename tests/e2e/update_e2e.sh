#!/usr/bin/env bash
# The update as a user meets it, under Xvfb in xfce4-panel: a Tavrink bundle of version 1.0
# installed in the user's applications folder (HOME is a temporary folder, so no move is
# offered), a signed 1.1 made with tavrink-release and served with its manifest by an HTTPS
# server on 127.0.0.1 (a certificate made for the run, trusted through SSL_CERT_FILE).
# "Check for Updates…" offers 1.1; "Install and Relaunch" puts it in place, leaving nothing in
# /tmp (TMPDIR is unset, as in a desktop session) nor in ~/.cache/tavrink/update, and the
# relaunched item's menu reads "About Tavrink 1.1"; a second check says it is up to date; then
# xdg-open tavrink://settings brings up the running copy's settings window.
# The build must pin the test maker key of this folder (the ci and asan presets do). Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"
aya=/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service

if [ "${1:-}" != --inner ]; then
    require "for network and UTS namespaces" Xvfb xfce4-panel tesseract import convert xdotool python3 openssl unshare
    [ -x "$aya" ] || skip "ayatana-indicator-application is missing"
    [ "${TAVRINK_PINNED_KEY:-}" = "$(tail -n 1 "$here/maker-test.pub")" ] ||
        skip "this build does not pin the test maker key (configure with the ci or asan preset)"
    make_work
    trap 'pkill -f "$work/Applications" 2>/dev/null || true; rm -rf "$work"' EXIT
    mkdir -p "$work/config/xfce4/xfconf/xfce-perchannel-xml" "$work/config/kelvandrosi" \
        "$work/Applications" "$work/release" "$work/www"
    cp "$here/xfce4-panel.xml" "$work/config/xfce4/xfconf/xfce-perchannel-xml/"
    set_version() { python3 -c 'import json, sys
info = json.load(open(sys.argv[1])); info["CFBundleShortVersionString"] = sys.argv[2]
json.dump(info, open(sys.argv[1], "w"), indent=4)' "$1/Info.json" "$2"; }
    cp -a "${TAVRINK_BUNDLE:?}" "$work/Applications/Tavrink.app"
    set_version "$work/Applications/Tavrink.app" 1.0
    cp -a "$TAVRINK_BUNDLE" "$work/release/Tavrink.app"
    set_version "$work/release/Tavrink.app" 1.1
    "${TAVRINK_TOOLS:?}/tavrink-release" make --key "$here/maker-test.key" --url-base https://127.0.0.1:8443 \
        --out "$work/www" --notes "Faster lookups." --bundle "$work/release/Tavrink.app" >/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
        -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 2>/dev/null
    printf '[General]\nUpdateManifestURL=https://127.0.0.1:8443/appcast.json\n' >"$work/config/kelvandrosi/Tavrink.conf"
    env -u TMPDIR -u XDG_CACHE_HOME HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
        SSL_CERT_FILE="$work/cert.pem" WORK="$work" unshare --uts --net dbus-run-session -- bash "$0" --inner
    exit $?
fi

hostname tavrinkpanel
ip link set lo up
trap cleanup EXIT
source "$here/../util/x11_session.sh"

python3 "$here/../util/serve_https.py" "$WORK" 8443 >"$WORK/server.log" 2>&1 &
pids+=($!)
start_xvfb
pids+=("$(start "$aya")" "$(start xfce4-panel)")
sleep 2
installed=$WORK/Applications/Tavrink.app
first=$(start "$installed/bin/tavrink" --no-public)
pids+=("$first")
menu=500x400+524+0

open_menu() { # pattern the menu shows once open
    for _ in 1 2 3 4; do
        xdotool mousemove 1000 15 click 1
        until_true shows "$menu" "$1" && return 0
        xdotool key Escape
    done
    fail "the menu did not open or did not show '$1'"
}

open_menu "About Tavrink 1.0"
click_word "$menu" "^Check"
OCR_LIGHT=1 until_true shows "$dialog" "Tavrink 1\.1 .*available" || fail "no offer of 1.1"
OCR_LIGHT=1 shows "$dialog" "Faster lookups" || fail "the offer does not show the release notes"
echo "ok: 'Check for Updates…' offers Tavrink 1.1 with its notes"
shared_before=$(ls -A /tmp)
OCR_LIGHT=1 click_word "$dialog" "^Install"

relaunched() { pgrep -f "^$installed/bin/tavrink" | grep -v -x "$first" >/dev/null; }
TRIES=80 until_true relaunched || fail "no Tavrink was started again from $installed"
until_true not kill -0 "$first" 2>/dev/null || fail "the 1.0 process did not quit"
grep -q '"1.1"' "$installed/Info.json" || fail "the installed bundle is not 1.1"
[ -z "$(ls -A "$HOME/.cache/tavrink/update")" ] || fail "the update left $(ls -A "$HOME/.cache/tavrink/update")"
[ "$(ls -A /tmp)" = "$shared_before" ] || fail "the update changed /tmp: $(diff <(echo "$shared_before") <(ls -A /tmp))"
[ "$(ls -A "$WORK/Applications")" = Tavrink.app ] || fail "something was left beside the bundle: $(ls -A "$WORK/Applications")"
"$TAVRINK_TOOLS/tavrink-sign" verify --public-key "$here/maker-test.pub" "$installed" >/dev/null ||
    fail "the installed bundle's signature does not verify"
open_menu "About Tavrink 1.1"
echo "ok: 'Install and Relaunch' installs 1.1 in place, leaves nothing behind, and the relaunched item says 'About Tavrink 1.1'"

# The relaunched copy looks up its public address (it was started without --no-public) and the
# menu gains the status row when the lookup fails. GTK keeps an open menu's height when rows come,
# scrolling the last rows out of view, so the menu is opened once its layout holds that row. A
# choice made while the copy's own automatic check runs (30 s after it started) does nothing, so
# the choice is repeated.
xdotool key Escape
settled() {
    dbus-send --session --print-reply --dest="org.kde.StatusNotifierItem-$(pgrep -f "^$installed/bin/tavrink")-1" \
        /MenuBar com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:label 2>/dev/null |
        grep -q "No public IPv4"
}
TRIES=120 until_true settled || fail "the relaunched copy's menu never showed its failed lookup"
second_check() {
    open_menu "Check for Updates"
    click_word "$menu" "^Check"
    OCR_LIGHT=1 TRIES=20 until_true shows "$dialog" "up to date" && return 0
    xdotool key Escape
    return 1
}
second_check || second_check || second_check || fail "a second check did not say Tavrink is up to date"
echo "ok: a second check says Tavrink is up to date"
OCR_LIGHT=1 click_word "$dialog" "^OK"

# The copy registered itself where it lies, so the desktop hands tavrink: links to it.
until_true test -s "$HOME/.local/share/applications/mimeinfo.cache" || fail "no desktop entry was registered"
windows_are "Tavrink Settings" 0 || fail "a settings window was open already"
xdg-open tavrink://settings >>"$WORK/xdg-open.log" 2>&1 || fail "xdg-open tavrink://settings failed: $(cat "$WORK/xdg-open.log")"
until_true windows_are "Tavrink Settings" 1 || fail "xdg-open tavrink://settings brought up no settings window"
xdg-open tavrink://settings >>"$WORK/xdg-open.log" 2>&1
sleep 1
windows_are "Tavrink Settings" 1 || fail "a second link made a second settings window"
[ "$(pgrep -c -f "^$installed/bin/tavrink")" -eq 1 ] || fail "a second Tavrink kept running"
echo "ok: xdg-open tavrink://settings brings up the running copy's one settings window"
echo "e2e: all checks passed"
