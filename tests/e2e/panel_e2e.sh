#!/usr/bin/env bash
# Tavrink in real panels under Xvfb, read back from screenshots with OCR:
#   xfce4-panel with the indicator plugin and ayatana-indicator-application (the watcher, which
#   draws labels): the hostname shows; the menu opens and copies the hostname; the item comes
#   back after the panel restarts; the settings window's switch gives the hostname's place to the
#   icon at once. Then, with no watcher at all, an
#   XEmbed tray (trayer) shows the fallback tray icon with the same menu, until a watcher appears.
# Runs in a UTS and a network namespace of its own, so that the hostname is known and the menu
# holds no address of this machine. Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"
tavrink="${TAVRINK_BUNDLE:?}/bin/tavrink"
host=tavrinkpanel
domain=example.com

if [ "${1:-}" != --inner ]; then
    require "for a UTS namespace with a known hostname" \
        Xvfb xfce4-panel trayer tesseract import xdotool xclip dbus-run-session unshare
    source "$here/../util/xfce_panel.sh"
    make_work
    xfce_home "$work/config"
    source "$here/../util/session_home.sh"
    quiet_settings "$work/config"
    run_inner "$work" "--uts --net"
    exit $?
fi

hostname "$host.$domain"
ip link set lo up
trap cleanup EXIT
source "$here/../util/x11_session.sh"
source "$here/../util/xfce_panel.sh"
start_xvfb

panel=1024x30+0+0

start_xfce
tavrink_pid=$(start "$tavrink" --no-public); pids+=("$tavrink_pid")
until_true shows "$panel" "$host" || fail "the hostname never showed in xfce4-panel"
echo "ok: '$host' shows in xfce4-panel's indicator area"

open_xfce_menu "Refresh Now"
# TAVRINK_SCREENSHOTS=DIR keeps the pictures the software centre shows (resources/screenshots).
if [ -n "${TAVRINK_SCREENSHOTS:-}" ]; then
    sleep 0.5
    import -window root -crop 500x260+524+0 +repage "$TAVRINK_SCREENSHOTS/menu.png"
fi
# The hostname row is the first; xfce4-panel 4.18 opens the menu over the panel, 4.20 below it.
click_word "$xfce_menu" "^Hostname"
until_true clipboard_is "$host" || fail "choosing the hostname row did not copy '$host'"
echo "ok: the menu opens, and choosing 'Hostname: $host' copies '$host'"

open_xfce_menu "Refresh Now"
click_word "$xfce_menu" "^Settings"
until_true windows_are "Tavrink Settings" 1 || fail "'Settings…' opened no settings window"
if [ -n "${TAVRINK_SCREENSHOTS:-}" ]; then
    sleep 0.5
    import -window "$(xdotool search --name '^Tavrink Settings$' | head -n 1)" "$TAVRINK_SCREENSHOTS/settings.png"
fi
echo "ok: 'Settings…' opens the settings window"

kill "$panel_pid" "$aya_pid"
sleep 1
start_xfce
until_true shows "$panel" "$host" || fail "the item did not come back after the panel restarted"
echo "ok: the item comes back after the panel restarts"

read -r x y <<<"$(locate 1024x670+0+30 '^hostname$')"
[ -n "${x:-}" ] || fail "the settings window's hostname switch was not found"
xdotool mousemove "$x" "$y" click 1
until_true not shows "$panel" "$host" || fail "switching the hostname off in the settings window left it in the panel"
grep -q "showHostnameInBar=false" "$XDG_CONFIG_HOME/kelvandrosi/Tavrink.conf" || fail "the switch was not saved"
sleep 0.5
bright=$(colour_pixels 220x30+804+0 "luminance>0.7")
[ "${bright:-0}" -gt 20 ] || fail "no icon in the panel with the hostname off ($bright bright pixels)"
echo "ok: the settings window's switch gives the hostname's place to the icon at once ($bright bright pixels)"
xdotool mousemove "$x" "$y" click 1
until_true shows "$panel" "$host" || fail "switching the hostname on again did not bring it back"

kill "$panel_pid" "$aya_pid"
sleep 1
pids+=("$(start trayer --edge bottom --align right --widthtype request --height 32)")
blue() { test "$(colour_pixels 60x40+964+660 "b>0.45&&r<0.35")" "$@"; }
until_true blue -gt 50 || fail "no tray icon without a watcher"
xdotool mousemove 1010 680 click 3
OCR_LIGHT=1 until_true shows 300x300+724+400 "Quit Tavrink" || fail "the tray icon's menu did not open"
xdotool key Escape
echo "ok: without any watcher a tray icon with the same menu shows in an XEmbed tray"
aya_pid=$(start "$aya"); pids+=("$aya_pid")
until_true blue -lt 10 || fail "the tray icon stayed after a watcher appeared"
echo "ok: the tray icon leaves once a watcher appears"
echo "e2e: all checks passed"
