#!/usr/bin/env bash
# GNOME on Wayland as its users meet Tavrink: GNOME Shell nested in Xvfb (its headless mode has
# no input devices, so no Wayland client could take focus to paste) with the AppIndicator
# extension. Tavrink runs as in a GNOME session, on the shell's XWayland with WAYLAND_DISPLAY
# set. First the extension is off, as in stock GNOME: Tavrink's notice says so, and its button
# turns the extension on. Then the top bar shows the hostname as text; clicking it opens the menu, and clicking the
# hostname row puts it on the X11 clipboard, which mutter hands to Wayland clients (GNOME offers
# no data-control): wl-paste reads exactly it, and again a while later. A double click opens
# Tavrink's own menu at the item. Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"
host=tavrinkgnome
extension=ubuntu-appindicators@ubuntu.com

if [ "${1:-}" != --inner ]; then
    require "for UTS, mount and network namespaces" \
        gnome-shell gsettings Xvfb xdotool wl-paste tesseract import convert dbus-daemon unshare
    [ -d "/usr/share/gnome-shell/extensions/$extension" ] ||
        skip "GNOME's AppIndicator extension is missing (scripts/install-deps --test installs it)"
    make_work
    source "$here/../util/session_home.sh"
    quiet_settings "$work/config"
    run_inner "$work" "--uts --mount --net"
    exit $?
fi

hostname "$host"
ip link set lo up
trap cleanup EXIT
source "$here/../util/x11_session.sh"

# GNOME Shell wants a system bus (its power indicator) and takes logind's path wherever systemd's
# seats folder exists: a bus of this test's own, and /run/systemd hidden in this mount namespace.
# The X sockets are this namespace's own too, so the shell's XWayland takes the first display.
# (A root that was never booted, as the Debian 13 run's, has neither folder.)
[ ! -d /run/systemd ] || mount -t tmpfs tavrink-e2e /run/systemd
mkdir -p /tmp/.X11-unix && mount -t tmpfs tavrink-e2e /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus" --nofork --nopidfile >/dev/null 2>&1 &
pids+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus"
gsettings set org.gnome.shell enabled-extensions "[]"
# Without GDM the shell warns once per user, in a banner, that it cannot lock the screen. A banner
# that comes while the pointer is still stays until it moves, and Tavrink's notice would wait
# behind it: this user has been warned.
mkdir -p "$XDG_DATA_HOME/gnome-shell" && touch "$XDG_DATA_HOME/gnome-shell/lock-warning-shown"
start_xvfb
pids+=("$(start gnome-shell --nested --wayland)")
xwayland() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$WORK/gnome-shell.log"; }
TRIES=80 until_true sh -c "test -S '$XDG_RUNTIME_DIR/wayland-0' && grep -q 'GNOME Shell started' '$WORK/gnome-shell.log'" ||
    fail "GNOME Shell did not start"
# The shell starts in its overview; Escape leaves it, as a user would.
xdotool mousemove 400 300 key Escape
# Run as root, the shell warns in a banner that the session is privileged. A notice that arrives
# while that banner is up, which then hides without animation (as nested), stays queued and is
# never shown: Tavrink starts once the warning is gone, as it would once a user has read it.
notice=800x260+0+0
if TRIES=16 until_true shows "$notice" "privileged user"; then
    xdotool mousemove 420 320 # a user who is active lets a banner go
    TRIES=80 until_true not shows "$notice" "privileged user" || fail "the shell's warning about root stayed up"
    echo "ok: the shell's warning about root has gone"
fi
export WAYLAND_DISPLAY=wayland-0 XAUTHORITY
XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*)
tavrink=$(DISPLAY=$(xwayland) start "${TAVRINK_BUNDLE:?}/bin/tavrink" --no-public)
pids+=("$tavrink")
bar=300x32+500+0 menu=300x340+500+32

# Stock GNOME: no panel shows items. The notice comes a few seconds after the start, as a banner
# across the top (wider on GNOME 48 than on 43); its button is there once the pointer is on it.
TRIES=80 until_true shows "$notice" "Tavrink is running" || fail "no notice that this desktop shows no panel icons"
[ -z "${TAVRINK_SCREENSHOTS:-}" ] || import -window root -crop 1024x200+0+0 +repage "$TAVRINK_SCREENSHOTS/gnome-notice.png"
read -r x y <<<"$(locate "$notice" "^Tavrink")"
xdotool mousemove "$x" "$y"
until_true shows "$notice" "Turn On" || fail "the notice offers no 'Turn On'"
click_word "$notice" "^On$" # the button; the body says "Turn it on" too
until_true sh -c "gsettings get org.gnome.shell enabled-extensions | grep -q '$extension'" ||
    fail "'Turn On' did not turn the AppIndicator extension on"
echo "ok: stock GNOME: a notice says no panel shows icons, and its 'Turn On' turns the extension on"
until_true shows "$bar" "$host" || fail "GNOME's top bar does not show '$host'"
echo "ok: GNOME's top bar shows '$host'"
# TAVRINK_SCREENSHOTS=DIR keeps a picture of the top bar with the item.
[ -z "${TAVRINK_SCREENSHOTS:-}" ] || import -window root -crop 1024x200+0+0 +repage "$TAVRINK_SCREENSHOTS/gnome.png"
# Just after start the shell may lay the item out again (the label gone for a moment), so a click
# can miss: the menu is asked for again, each time once the label shows.
label_at() { at=$(locate "$bar" "$host") && [ -n "$at" ]; }
open_menu() {
    for _ in 1 2 3 4; do
        until_true label_at && xdotool mousemove $at click 1
        TRIES=20 until_true shows "$menu" "Hostname" && return 0
        xdotool key Escape
    done
    return 1
}
open_menu || fail "clicking '$host' opened no menu with the hostname row"
click_word "$menu" "^Hostname"
until_true pasted "$host" || fail "clicking the hostname row put nothing a Wayland client can paste"
sleep 2
pasted "$host" || fail "a later paste did not get the hostname"
echo "ok: clicking the hostname row in GNOME's menu copies '$host'; a later paste still gets it"
# A double click asks for Tavrink's own menu. It opens at the item: under XWayland the pointer is
# where it last was over an X window, not on the shell's bar.
until_true label_at || fail "'$host' went from the top bar"
read -r x y <<<"$at"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
OCR_LIGHT=1 until_true shows "300x200+$((x - 200))+$y" "Hostname" || fail "a double click on '$host' opened no menu at it"
[ -z "${TAVRINK_SCREENSHOTS:-}" ] || import -window root -crop 1024x400+0+0 +repage "$TAVRINK_SCREENSHOTS/gnome-own-menu.png"
echo "ok: a double click on '$host' opens Tavrink's own menu at it"
echo "e2e: all checks passed"
