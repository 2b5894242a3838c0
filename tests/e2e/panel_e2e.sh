#!/usr/bin/env bash
# Tavrink in real panels under Xvfb, read back from screenshots with OCR:
#   xfce4-panel with the indicator plugin and ayatana-indicator-application (the watcher, which
#   draws labels): the hostname shows, follows edits of the settings file, gives way to the icon;
#   the menu opens with its rows and copies the hostname; the item comes back after the panel
#   restarts; "Settings…" opens one settings window however often it is chosen, and its switch
#   changes the panel at once. Then, with no watcher at all, an XEmbed tray (trayer) shows the fallback tray icon
#   with the same menu, until a watcher appears again.
# Runs in a UTS namespace of its own so that the hostname is known. Exit 77: skipped.
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
        unshare --uts dbus-run-session -- bash "$0" --inner
    exit $?
fi

hostname "$host.$domain"
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
settings_windows() { xwininfo -root -tree | grep -c '"Tavrink Settings"' || true; }
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
pids+=("$(start "$tavrink" --no-public)")

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
[ "$(settings_windows)" -eq 1 ] || fail "choosing Settings… twice gave $(settings_windows) settings windows"
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
