#!/usr/bin/env bash
# Tavrink in real panels under Xvfb, read back from screenshots with OCR:
#   xfce4-panel with the indicator plugin and ayatana-indicator-application (the watcher, which
#   draws labels): the hostname shows; the menu opens and copies the hostname; clicks that the
#   panel sends for rows of a menu that has since gained or lost rows run the row that was
#   clicked, or nothing; the item comes back after the panel restarts; the settings window's
#   switch gives the hostname's place to the icon at once. Then, with no watcher at all, an
#   XEmbed tray (trayer) shows the fallback tray icon with the same menu, until a watcher appears.
# Runs in a UTS and a network namespace of its own, so that the hostname is known and interfaces
# can come and go. Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"
aya=/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service
tavrink="${TAVRINK_BUNDLE:?}/bin/tavrink"
host=tavrinkpanel
domain=example.com

if [ "${1:-}" != --inner ]; then
    require "for a UTS namespace with a known hostname" \
        Xvfb xfce4-panel trayer tesseract import convert xdotool xclip dbus-run-session unshare
    [ -x "$aya" ] || skip "ayatana-indicator-application is missing"
    [ -f /usr/lib/x86_64-linux-gnu/xfce4/panel/plugins/libindicator-plugin.so ] || skip "xfce4-indicator-plugin is missing"
    make_work
    mkdir -p "$work/config/xfce4/xfconf/xfce-perchannel-xml"
    cp "$here/xfce4-panel.xml" "$work/config/xfce4/xfconf/xfce-perchannel-xml/"
    source "$here/../util/session_home.sh"
    quiet_settings "$work/config"
    env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" WORK="$work" \
        unshare --uts --net dbus-run-session -- bash "$0" --inner
    exit $?
fi

hostname "$host.$domain"
ip link set lo up
trap cleanup EXIT
source "$here/../util/x11_session.sh"
start_xvfb

panel=1024x30+0+0
menu=500x400+524+0

aya_pid=$(start "$aya"); pids+=("$aya_pid")
panel_pid=$(start xfce4-panel); pids+=("$panel_pid")
sleep 2
tavrink_pid=$(start "$tavrink" --no-public); pids+=("$tavrink_pid")
until_true shows "$panel" "$host" || fail "the hostname never showed in xfce4-panel"
echo "ok: '$host' shows in xfce4-panel's indicator area"

open_menu() {
    for _ in 1 2 3; do
        xdotool mousemove 1000 15 click 1
        until_true shows "$menu" "Refresh Now" && return 0
        xdotool key Escape
    done
    fail "the menu did not open on a click"
}
open_menu
# TAVRINK_SCREENSHOTS=DIR keeps the pictures the software centre shows (resources/screenshots).
if [ -n "${TAVRINK_SCREENSHOTS:-}" ]; then
    sleep 0.5
    import -window root -crop 500x260+524+0 +repage "$TAVRINK_SCREENSHOTS/menu.png"
fi
xdotool mousemove 900 16 click 1 # the hostname row is the first; the menu opens under the item
until_true clipboard_is "$host" || fail "choosing the hostname row did not copy '$host'"
echo "ok: the menu opens, and choosing 'Hostname: $host' copies '$host'"

# Clicks the row matching pattern in the open menu after the network changed under it. The panel
# (with its plugin process) is held still meanwhile, so the click it sends carries the ids of the
# menu it showed, while Tavrink's menu has already gained or lost rows. Fails when the panel sent
# no click: having read the new menu first, it may drop a click on a row it knows is gone.
stdbuf -oL dbus-monitor --session "type='method_call',interface='com.canonical.dbusmenu'" >"$WORK/calls.log" 2>&1 &
pids+=($!)
clicks_sent() { grep -c -E 'member=Event(Group)?$' "$WORK/calls.log" || true; }
clicks_more_than() { [ "$(clicks_sent)" -gt "$1" ]; }
served() { # pattern: whether Tavrink's menu has a row matching it now
    dbus-send --session --print-reply --dest="org.kde.StatusNotifierItem-$tavrink_pid-1" /MenuBar \
        com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:label | grep -q -- "$1"
}
stale_click() { # pattern change-command served-condition...
    open_menu
    read -r x y <<<"$(locate "$menu" "$1")"
    [ -n "${x:-}" ] || fail "'$1' not found in the menu"
    local frozen sent
    sent=$(clicks_sent)
    frozen="$panel_pid $(pgrep -P "$panel_pid" | tr '\n' ' ')"
    kill -STOP $frozen
    eval "$2"
    until_true "${@:3}" || { kill -CONT $frozen; fail "Tavrink's menu did not follow: $2"; }
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
    kill -CONT $frozen
    until_true clicks_more_than "$sent"
    local status=$?
    sleep 0.5
    kill -0 "$tavrink_pid" 2>/dev/null || fail "Tavrink ended after a click on '$1' while the menu changed"
    return $status
}
add_link() { ip link add "$1" type veth peer name "$1p" && ip link set "$1p" up && ip link set "$1" up; }

add_link tvx0
ip addr add 10.78.0.1/24 dev tvx0
for attempt in 1 2 3 4 5; do
    ip addr add 10.77.0.1/24 dev tvx0
    until_true served 10.77.0.1 || fail "the new interface's addresses never reached the menu"
    stale_click '^10\.77\.0\.1' "ip addr del 10.77.0.1/24 dev tvx0" not served 10.77.0.1 && break
    [ "$attempt" -lt 5 ] || fail "the panel never sent a click for the row that went away"
done
clipboard_is "$host" || fail "a click on a row that had gone copied something"
echo "ok: a click on an address row that went away meanwhile copies nothing (attempt $attempt)"
stale_click '^Settings' "ip link del tvx0" not served 10.78.0.1 || fail "the panel sent no click for 'Settings…'"
until_true windows_are "Tavrink Settings" 1 || fail "'Settings…' clicked as a row went away opened no settings"
if [ -n "${TAVRINK_SCREENSHOTS:-}" ]; then
    sleep 0.5
    import -window "$(xdotool search --name '^Tavrink Settings$' | head -n 1)" "$TAVRINK_SCREENSHOTS/settings.png"
fi
stale_click '^Settings' "add_link tvx0 && ip addr add 10.77.0.3/24 dev tvx0" served 10.77.0.3 ||
    fail "the panel sent no click for 'Settings…'"
windows_are "About Tavrink" 0 || fail "'Settings…' clicked as a row came in opened the about window"
echo "ok: 'Settings…' clicked as rows went and came opens the settings window, never another entry"

kill "$panel_pid" "$aya_pid"
sleep 1
aya_pid=$(start "$aya"); pids+=("$aya_pid")
panel_pid=$(start xfce4-panel); pids+=("$panel_pid")
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
