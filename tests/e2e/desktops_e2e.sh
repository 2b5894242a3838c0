#!/usr/bin/env bash
# The panel item as users of KDE Plasma, LXQt, MATE, Cinnamon and Budgie meet it, each desktop in
# the looks it ships, under Xvfb. For each look: the item's pixels stand out from the panel behind them at
# 3:1 or more (WCAG contrast, the 90th percentile of what changed when the item came), the
# tooltip holds the hostname, the menu opens on a click with "Hostname: …" first, and choosing
# that row copies the name. Every look runs in a session (and process namespace) of its own.
# Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"
host=tavrinkdesk
# desktop look
looks=("plasma light" "plasma dark" "plasma twilight" "lxqt light" "lxqt dark" "mate default" "cinnamon default"
    "budgie plain" "budgie ayatana")
# TAVRINK_LOOKS="plasma twilight" tries one look alone.
[ -z "${TAVRINK_LOOKS:-}" ] || mapfile -t looks < <(tr ',' '\n' <<<"$TAVRINK_LOOKS")

if [ "${1:-}" != --inner ]; then
    require "for UTS and PID namespaces" Xvfb plasmashell lxqt-panel mate-panel cinnamon budgie-panel tesseract \
        import xdotool xclip python3 unshare dbus-run-session
    command -v kded6 >/dev/null || command -v kded5 >/dev/null || skip "kded (kded5 or kded6) is missing"
    make_work
    source "$here/../util/session_home.sh"
    for look in "${looks[@]}"; do
        quiet_settings "$work/${look// /-}/config"
        run_inner "$work/${look// /-}" "--uts --net --pid --fork --kill-child --mount-proc" "$look" || exit 1
    done
    echo "e2e: all checks passed"
    exit 0
fi

read -r desktop look <<<"$2"
hostname "$host"
trap cleanup EXIT
source "$here/../util/x11_session.sh"
source "$here/../util/dbusmenu.sh"
source "$here/../util/desktop_hosts.sh"
start_xvfb
panel=1024x40+0+0 # where the panel is; a desktop whose panel is elsewhere says so
"start_$desktop" "$look"
sleep 3 # the panel draws itself once its host is up
import -window root "$WORK/before.png"
tavrink=$(start "${TAVRINK_BUNDLE:?}/bin/tavrink" --no-public)
pids+=("$tavrink")
item="org.kde.StatusNotifierItem-$tavrink-1"
# Where the watcher shows nothing (Budgie's panel has a classic tray alone, and the indicator
# service reaches no panel there) the item goes to the classic tray, and to the watcher not at all.
in_tray=
TRIES=40 until_true item_registered "$item" || in_tray=1
[ -z "$in_tray" ] || [ "$desktop" = budgie ] || fail "Tavrink's item did not register"
sleep 3
# Some hosts (Budgie's) draw the item a while after it registered.
item_drawn() {
    import -window root "$WORK/after.png"
    read -r ratio changed x y <<<"$(python3 "$here/../util/contrast.py" "$WORK/before.png" "$WORK/after.png" "$panel")"
    [ "$changed" -ge 40 ]
}
TRIES=20 until_true item_drawn || fail "$2: the item changed only $changed pixels of the panel"
python3 -c "import sys; sys.exit(float(sys.argv[1]) < 3)" "$ratio" ||
    fail "$2: the item stands out from the panel at only $ratio:1 (of $changed pixels)"
echo "ok ($2): the item stands out from the panel at $ratio:1 over $changed pixels"
# TAVRINK_SCREENSHOTS=DIR keeps a picture of each look with the item.
[ -z "${TAVRINK_SCREENSHOTS:-}" ] || cp "$WORK/after.png" "$TAVRINK_SCREENSHOTS/$desktop-$look.png"

screen=1024x700+0+0
if [ -n "$in_tray" ]; then
    # Reads the text of Tavrink's own windows on the screen (the tooltip is one), inside their frames.
    tip_shows() {
        local id region
        for id in $(xwininfo -root -children | awk '/\("tavrink" "Tavrink"\)/ {print $1}'); do
            region=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                /Width/ {w = $NF} /Height/ {h = $NF} /IsViewable/ {print w - 4 "x" h - 4 "+" x + 2 "+" y + 2}')
            [ -n "$region" ] && OCR_LIGHT=1 shows "$region" "$host" && return 0
        done
        return 1
    }
    glide "$x" "$y"
    until_true tip_shows || fail "$2: resting on the tray icon at $x,$y showed no tooltip with '$host'"
else
    tooltip=$(item_property "$item" ToolTip)
    grep -q "\"$host\"" <<<"$tooltip" || fail "$2: the tooltip does not hold the hostname: $tooltip"
fi
echo "ok ($2): the tooltip holds '$host'"
if [ "$desktop" = plasma ]; then
    # Only the named symbolic icon follows a change of colour scheme.
    [[ "$(item_property "$item" IconName)" == *'"tavrink-symbolic"'* ]] || fail "$2: the item names no symbolic icon"
    [[ "$(item_property "$item" IconPixmap)" != *struct* ]] ||
        fail "$2: the item offers a pixmap too, which Plasma would draw instead"
    echo "ok ($2): the item offers the symbolic icon alone"
fi

menu_shows() { OCR_LIGHT=1 shows "$screen" "Hostname: $host" || shows "$screen" "Hostname: $host"; }
opened=
for _ in 1 2 3; do
    xdotool mousemove "$x" "$y" click 1
    until_true menu_shows && { opened=1; break; }
    xdotool key Escape
done
[ -n "$opened" ] || fail "$2: a click on the item opened no menu showing 'Hostname: $host'"
# The menu is dark on light in light looks and light on dark in dark ones. Its rows may begin with
# an icon (Plasma 6 draws them), which OCR reads as a stray character or two.
first_row() { { OCR_LIGHT=1 ocr "$screen"; ocr "$screen"; } | grep -m1 -oE '(Hostname|[A-Z][a-z]+): .*'; }
[[ "$(first_row)" == "Hostname: $host"* ]] || fail "$2: the menu's first row is '$(first_row)', not 'Hostname: $host'"
read -r rx ry <<<"$(OCR_LIGHT=1 locate "$screen" "^Hostname")" || true
[ -n "${rx:-}" ] || read -r rx ry <<<"$(locate "$screen" "^Hostname")" || true
[ -n "${rx:-}" ] || fail "$2: the hostname row was not found on the screen"
# The menu opens at the item, wherever the host says the click was (MATE says 0, 26): from its
# first row to its last ("Quit Tavrink"), it reaches within 100 px of the item's height, and
# lies within a menu's width of it across.
read -r qx qy <<<"$(OCR_LIGHT=1 locate "$screen" "^Quit")" || true
[ -n "${qy:-}" ] || read -r qx qy <<<"$(locate "$screen" "^Quit")" || true
top=$((ry < ${qy:-$ry} ? ry : ${qy:-$ry})) bottom=$((ry > ${qy:-$ry} ? ry : ${qy:-$ry}))
((y > top - 100 && y < bottom + 100 && rx - x < 400 && x - rx < 400)) ||
    fail "$2: the menu opened at $rx,$ry to ${qx:-?},${qy:-?}, far from the item at $x,$y"
glide "$rx" "$ry"
xdotool click 1
until_true clipboard_is "$host" || fail "$2: choosing the hostname row did not copy '$host'"
echo "ok ($2): the menu opens at the item with 'Hostname: $host' first, and choosing it copies the name"
