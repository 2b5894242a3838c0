#!/usr/bin/env bash
# Tavrink in real panels under Xvfb, read back from screenshots with OCR:
#   xfce4-panel with the indicator plugin and ayatana-indicator-application (the watcher, which
#   draws labels): the hostname shows, follows edits of the settings file, gives way to the icon;
#   the menu opens with its rows and copies the hostname; the item comes back after the panel
#   restarts; "Settings…" opens one settings window however often it is chosen, and its switch
#   changes the panel at once. Clicks that the panel sends for rows of a menu that has since
#   gained or lost rows run the row that was clicked, or nothing. Then, with no watcher at all, an XEmbed tray (trayer) shows the fallback tray icon
#   with the same menu, until a watcher appears again.
# Runs in a UTS and a network namespace of its own, so that the hostname is known and interfaces
# can come and go. Exit 77: skipped.
set -euo pipefail

skip() { echo "SKIP: $*"; exit 77; }
aya=/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service
tavrink="${TAVRINK_BUNDLE:?}/bin/tavrink"
host=tavrinkpanel
domain=example.com

if [ "${1:-}" != --inner ]; then
    [ "$(id -u)" -eq 0 ] || skip "needs root for a UTS namespace with a known hostname; CI runs it as root"
    for tool in Xvfb xfce4-panel trayer tesseract import convert xdotool xclip dbus-run-session unshare; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps --test installs it)"
    done
    [ -x "$aya" ] || skip "ayatana-indicator-application is missing"
    [ -f /usr/lib/x86_64-linux-gnu/xfce4/panel/plugins/libindicator-plugin.so ] || skip "xfce4-indicator-plugin is missing"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/config/xfce4/xfconf/xfce-perchannel-xml" "$work/config/kelvandrosi" "$work/run"
    chmod 700 "$work/run"
    cp "$(dirname "$0")/xfce4-panel.xml" "$work/config/xfce4/xfconf/xfce-perchannel-xml/"
    env XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" WORK="$work" \
        unshare --uts --net dbus-run-session -- bash "$0" --inner
    exit $?
fi

hostname "$host.$domain"
ip link set lo up
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; cp "$WORK"/*.png /tmp/ 2>/dev/null || true; exit 1; }

exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do read -r -t 0.2 display <&3 && break; done
export DISPLAY=":${display:?Xvfb did not start}"

start() { "$@" >>"$WORK/$(basename "$1").log" 2>&1 & echo $!; }
settings() { { echo '[General]'; printf '%s\n' "$@"; } >"$XDG_CONFIG_HOME/kelvandrosi/Tavrink.conf"; }

# OCR of a screen region (geometry WxH+X+Y), light text on a dark panel made dark on light.
ocr() {
    import -window root -crop "$1" +repage "$WORK/shot.png"
    convert "$WORK/shot.png" -colorspace Gray -negate -resize 300% -threshold 55% "$WORK/ocr.png"
    tesseract "$WORK/ocr.png" - --psm 4 2>/dev/null
}
# Screen coordinates "x y" of the centre of the first word matching pattern in a region WxH+X+Y.
locate() {
    import -window root -crop "$1" +repage "$WORK/find.png"
    convert "$WORK/find.png" -colorspace Gray -negate -resize 300% -threshold 55% "$WORK/find-ocr.png"
    local x0 y0
    x0=$(sed -E 's/.*\+([0-9]+)\+[0-9]+$/\1/' <<<"$1")
    y0=$(sed -E 's/.*\+[0-9]+\+([0-9]+)$/\1/' <<<"$1")
    tesseract "$WORK/find-ocr.png" - --psm 11 tsv 2>/dev/null |
        awk -F'\t' -v p="$2" -v x0="$x0" -v y0="$y0" \
            '$12 ~ p { printf "%d %d\n", x0 + ($7 + $9 / 2) / 3, y0 + ($8 + $10 / 2) / 3; exit }'
}
windows_named() { xwininfo -root -tree | grep -c "\"$1\"" || true; }
wait_for() { # region pattern [absent]
    for _ in $(seq 30); do
        text=$(ocr "$1")
        if [ -z "${3:-}" ] && grep -q -- "$2" <<<"$text"; then return 0; fi
        if [ -n "${3:-}" ] && ! grep -q -- "$2" <<<"$text"; then return 0; fi
        sleep 0.5
    done
    echo "last OCR of $1: $text"
    return 1
}
# Bright pixels in a region: the icon (light template on the panel, or the tray's application icon).
colour_pixels() {
    import -window root -crop "$1" +repage "$WORK/px.png"
    convert "$WORK/px.png" -fx "$2" -format "%[fx:mean*w*h]" info: | cut -d. -f1
}
panel=1024x30+0+0
item=220x30+804+0

settings "useFQDN=false"
aya_pid=$(start "$aya"); pids+=("$aya_pid")
panel_pid=$(start xfce4-panel); pids+=("$panel_pid")
sleep 2
tavrink_pid=$(start "$tavrink" --no-public); pids+=("$tavrink_pid")

wait_for "$panel" "$host" || fail "the short hostname never showed in xfce4-panel"
echo "ok: '$host' shows in xfce4-panel's indicator area"
ocr "$panel" | grep -q "$host.$domain" && fail "the full name showed while useFQDN was off"

settings "useFQDN=true"
wait_for "$panel" "$host.$domain" || fail "the label did not follow useFQDN set in the file"
echo "ok: an edit of the settings file switches the label to '$host.$domain'"

settings "useFQDN=true" "showHostnameInBar=false"
wait_for "$panel" "$host" absent || fail "the hostname stayed after showHostnameInBar was turned off"
sleep 0.5
bright=$(colour_pixels "$item" "luminance>0.7")
[ "${bright:-0}" -gt 20 ] || fail "no icon in the panel with showHostnameInBar off ($bright bright pixels)"
echo "ok: the icon replaces the text ($bright bright pixels)"

settings "useFQDN=false"
wait_for "$panel" "$host" || fail "the hostname did not come back"
xdotool mousemove 1000 15 click 1
wait_for 500x300+524+0 "Refresh Now" || fail "the menu did not open on a click"
menu=$(ocr 500x300+524+0)
# Rows in order (disabled rows are drawn dim, so only a word of them is asked for).
grep -q -z -- "Hostname: $host.*unavailable.*Refresh Now.*Quit Tavrink" <<<"$menu" ||
    fail "the menu's rows are not as expected: $menu"
echo "ok: the menu opens with its rows"
# The hostname row is the first; the menu opens under the item.
xdotool mousemove 900 16 click 1
sleep 1
copied=$(timeout 5 xclip -o -selection clipboard || true)
[ "$copied" = "$host" ] || fail "choosing the hostname row copied '$copied'"
echo "ok: choosing 'Hostname: $host' copies '$copied'"

# The panel's rows as Tavrink serves them now.
served() {
    dbus-send --session --print-reply --dest="org.kde.StatusNotifierItem-$tavrink_pid-1" /MenuBar \
        com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:label
}
wait_served() { # text [absent]
    for _ in $(seq 40); do
        if [ -z "${2:-}" ] && served | grep -q -- "$1"; then return 0; fi
        if [ -n "${2:-}" ] && ! served | grep -q -- "$1"; then return 0; fi
        sleep 0.25
    done
    return 1
}
open_menu() {
    for _ in 1 2 3; do
        xdotool mousemove 1000 15 click 1
        wait_for 500x400+524+0 "Refresh Now" && return 0
        xdotool key Escape
    done
    return 1
}
# Clicks the row matching pattern in the open menu after the network changed under it. The panel
# (with its plugin process) is held still meanwhile, so the click it sends carries the ids of the
# menu it showed, while Tavrink's menu has already gained or lost rows. Fails when the panel sent
# no click: having read the new menu first, it may drop a click on a row it knows is gone.
stdbuf -oL dbus-monitor --session "type='method_call',interface='com.canonical.dbusmenu'" >"$WORK/calls.log" 2>&1 &
pids+=($!)
clicks_sent() { grep -c -E 'member=Event(Group)?$' "$WORK/calls.log" || true; }
stale_click() { # pattern change-command served-text [absent]
    open_menu || fail "the menu did not open"
    read -r x y <<<"$(locate 500x400+524+0 "$1")"
    [ -n "${x:-}" ] || fail "'$1' not found in the menu"
    local frozen sent
    sent=$(clicks_sent)
    frozen="$panel_pid $(pgrep -P "$panel_pid" | tr '\n' ' ')"
    kill -STOP $frozen
    eval "$2"
    wait_served "$3" "${4:-}" || { kill -CONT $frozen; fail "Tavrink's menu did not follow: $2"; }
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
    kill -CONT $frozen
    for _ in $(seq 12); do [ "$(clicks_sent)" -gt "$sent" ] && break; sleep 0.25; done
    sleep 0.5
    kill -0 "$tavrink_pid" 2>/dev/null || fail "Tavrink ended after a click on '$1' while the menu changed"
    [ "$(clicks_sent)" -gt "$sent" ]
}
wait_window() { for _ in $(seq 20); do [ "$(windows_named "$1")" -ge 1 ] && return 0; sleep 0.25; done; return 1; }

ip link add tvx0 type veth peer name tvx1
ip link set tvx1 up
ip link set tvx0 up
ip addr add 10.78.0.1/24 dev tvx0
for attempt in 1 2 3 4 5; do
    ip addr add 10.77.0.1/24 dev tvx0
    wait_served "10.77.0.1" || fail "the new interface's addresses never reached the menu"
    stale_click '^10\.77\.0\.1' "ip addr del 10.77.0.1/24 dev tvx0" "10.77.0.1" absent && break
    [ "$attempt" -lt 5 ] || fail "the panel never sent a click for the row that went away"
done
copied=$(timeout 5 xclip -o -selection clipboard || true)
[ "$copied" = "$host" ] || fail "a click on a row that had gone copied '$copied'"
echo "ok: a click on an address row that went away meanwhile copies nothing (attempt $attempt)"
stale_click '^Settings' "ip link del tvx0" "10.78.0.1" absent || fail "the panel sent no click for 'Settings…'"
wait_window "Tavrink Settings" || fail "'Settings…' clicked as a row went away did not open settings"
echo "ok: 'Settings…' clicked as a row went away opens the settings window"
stale_click '^Settings' "ip link add tvx0 type veth peer name tvx1 && ip link set tvx1 up && ip link set tvx0 up && ip addr add 10.77.0.3/24 dev tvx0" "10.77.0.3" ||
    fail "the panel sent no click for 'Settings…'"
[ "$(windows_named "About Tavrink")" -eq 0 ] || fail "'Settings…' clicked as a row came in opened the about window"
[ "$(windows_named "Tavrink Settings")" -eq 1 ] || fail "'Settings…' clicked as a row came in gave $(windows_named "Tavrink Settings") settings windows"
echo "ok: 'Settings…' clicked as a row came in opens no other window"

kill "$panel_pid" "$aya_pid"
sleep 1
aya_pid=$(start "$aya"); pids+=("$aya_pid")
panel_pid=$(start xfce4-panel); pids+=("$panel_pid")
wait_for "$panel" "$host" || fail "the item did not come back after the panel restarted"
echo "ok: the item comes back after the panel restarts"

for _ in 1 2; do
    xdotool mousemove 1000 15 click 1
    wait_for 500x400+524+0 "Settings" || fail "the menu did not open for Settings…"
    read -r x y <<<"$(locate 500x400+524+0 '^Settings')"
    [ -n "${x:-}" ] || fail "'Settings…' not found in the menu"
    xdotool mousemove "$x" "$y" click 1
    sleep 1
done
[ "$(windows_named "Tavrink Settings")" -eq 1 ] || fail "choosing Settings… twice gave $(windows_named "Tavrink Settings") settings windows"
echo "ok: 'Settings…' chosen twice gives one settings window"
read -r x y <<<"$(locate 1024x670+0+30 '^hostname$')"
[ -n "${x:-}" ] || fail "the settings window's hostname switch was not found"
xdotool mousemove "$x" "$y" click 1
wait_for "$panel" "$host" absent || fail "switching the hostname off in the settings window left it in the panel"
grep -q "showHostnameInBar=false" "$XDG_CONFIG_HOME/kelvandrosi/Tavrink.conf" || fail "the switch was not saved"
echo "ok: the settings window's switch takes the hostname out of the panel at once"
xdotool mousemove "$x" "$y" click 1
wait_for "$panel" "$host" || fail "switching the hostname on again did not bring it back"

kill "$panel_pid" "$aya_pid"
sleep 1
pids+=("$(start trayer --edge bottom --align right --widthtype request --height 32)")
tray=60x40+964+660
blue() { colour_pixels "$tray" "b>0.45&&r<0.35"; }
for _ in $(seq 20); do [ "$(blue)" -gt 50 ] && break; sleep 0.5; done
[ "$(blue)" -gt 50 ] || fail "no tray icon without a watcher"
echo "ok: without any watcher the tray icon shows in an XEmbed tray"
xdotool mousemove 1010 680 click 3
wait_for 1024x700+0+0 "Quit Tavrink" || fail "the tray icon's menu did not open"
echo "ok: the tray icon has the same menu"
xdotool key Escape

aya_pid=$(start "$aya"); pids+=("$aya_pid")
for _ in $(seq 20); do [ "$(blue)" -lt 10 ] && break; sleep 0.5; done
[ "$(blue)" -lt 10 ] || fail "the tray icon stayed after a watcher appeared"
echo "ok: the tray icon leaves once a watcher appears"
echo "e2e: all checks passed"
