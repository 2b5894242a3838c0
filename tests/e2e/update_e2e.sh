#!/usr/bin/env bash
# The update as a user meets it, under Xvfb in xfce4-panel: a Tavrink bundle of version 1.0
# installed in the user's applications folder (HOME is a temporary folder, so no move is
# offered), a signed 1.1 made with tavrink-release and served with its manifest by an HTTPS
# server on 127.0.0.1 (a certificate made for the run, trusted through SSL_CERT_FILE).
# "Check for Updates…" offers 1.1; "Install and Relaunch" puts it in place through the bundle's
# update helper, leaving nothing in /tmp (TMPDIR is unset, as in a desktop session), and the
# relaunched item's menu reads "About Tavrink 1.1". What an install leaves and checks, outcome by
# outcome, is tst_updatechecker's.
# The build must pin the test maker key of this folder (the ci and asan presets do). Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"

if [ "${1:-}" != --inner ]; then
    require "for network and UTS namespaces" Xvfb xfce4-panel tesseract import convert xdotool python3 openssl unshare
    [ "${TAVRINK_PINNED_KEY:-}" = "$(tail -n 1 "$here/maker-test.pub")" ] ||
        skip "this build does not pin the test maker key (configure with the ci or asan preset)"
    source "$here/../util/xfce_panel.sh"
    make_work
    trap 'pkill -f "$work/Applications" 2>/dev/null || true; rm -rf "$work"' EXIT
    xfce_home "$work/config"
    mkdir -p "$work/config/kelvandrosi" "$work/Applications" "$work/release" "$work/www"
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
    unset TMPDIR XDG_CACHE_HOME
    export SSL_CERT_FILE="$work/cert.pem"
    run_inner "$work" "--uts --net"
    exit $?
fi

hostname tavrinkpanel
ip link set lo up
trap cleanup EXIT
source "$here/../util/x11_session.sh"
source "$here/../util/xfce_panel.sh"

python3 "$here/../util/serve_https.py" "$WORK" 8443 >"$WORK/server.log" 2>&1 &
pids+=($!)
start_xvfb
start_xfce
installed=$WORK/Applications/Tavrink.app
first=$(start "$installed/bin/tavrink" --no-public)
pids+=("$first")

open_xfce_menu "About Tavrink 1.0"
click_word "$xfce_menu" "^Check"
OCR_LIGHT=1 until_true shows "$dialog" "Tavrink 1\.1 .*available" || fail "no offer of 1.1"
OCR_LIGHT=1 shows "$dialog" "Faster lookups" || fail "the offer does not show the release notes"
echo "ok: 'Check for Updates…' offers Tavrink 1.1 with its notes"
shared_before=$(ls -A /tmp)
OCR_LIGHT=1 click_word "$dialog" "^Install"

relaunched() { pgrep -f "^$installed/bin/tavrink" | grep -v -x "$first" >/dev/null; }
TRIES=80 until_true relaunched || fail "no Tavrink was started again from $installed"
until_true not kill -0 "$first" 2>/dev/null || fail "the 1.0 process did not quit"
grep -q '"1.1"' "$installed/Info.json" || fail "the installed bundle is not 1.1"
added=$(comm -13 <(echo "$shared_before") <(ls -A /tmp))
[ -z "$added" ] || fail "the update left in /tmp: $added"
open_xfce_menu "About Tavrink 1.1"
echo "ok: 'Install and Relaunch' installs 1.1 in place, adds nothing to /tmp, and the relaunched item says 'About Tavrink 1.1'"
echo "e2e: all checks passed"

