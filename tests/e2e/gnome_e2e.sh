#!/usr/bin/env bash
# Copying under GNOME on Wayland, which offers no data-control: GNOME Shell nested in Xvfb (its
# headless mode has no input devices, so no Wayland client could take focus to paste). Tavrink
# runs as in a GNOME session, on the shell's XWayland with WAYLAND_DISPLAY set; choosing the
# hostname row over DBusMenu puts it on the X11 clipboard, which mutter hands to Wayland clients:
# wl-paste reads exactly it, and again a while later. Exit 77: skipped.
set -euo pipefail

skip() { echo "SKIP: $*"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
host=tavrinkgnome

if [ "${1:-}" != --inner ]; then
    [ "$(id -u)" -eq 0 ] || skip "needs root for UTS, mount and network namespaces; CI runs it as root"
    for tool in gnome-shell Xvfb xdotool wl-paste dbus-daemon dbus-send unshare; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps --test installs it)"
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/run"
    chmod 700 "$work/run"
    source "$here/../util/session_home.sh"
    quiet_settings "$work/config"
    env HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" \
        WORK="$work" unshare --uts --mount --net dbus-run-session -- bash "$0" --inner
    exit $?
fi

hostname "$host"
ip link set lo up
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; tail -n 5 "$WORK"/*.log; exit 1; }
source "$here/../util/x11_session.sh"
source "$here/../util/dbusmenu.sh"

# GNOME Shell wants a system bus (its power indicator) and takes logind's path wherever systemd's
# seats folder exists: a bus of this test's own, and /run/systemd hidden in this mount namespace.
# The X sockets are this namespace's own too, so the shell's XWayland takes the first display.
mount -t tmpfs tavrink-e2e /run/systemd
mount -t tmpfs tavrink-e2e /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus" --nofork --nopidfile >/dev/null 2>&1 &
pids+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus"
start_xvfb
pids+=("$(start gnome-shell --nested --wayland)")
xwayland() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$WORK/gnome-shell.log"; }
TRIES=80 until_true sh -c "test -S '$XDG_RUNTIME_DIR/wayland-0' && grep -q 'GNOME Shell started' '$WORK/gnome-shell.log'" ||
    fail "GNOME Shell did not start"
# The shell starts in its overview; Escape leaves it, as a user would.
xdotool mousemove 400 300 key Escape
export WAYLAND_DISPLAY=wayland-0 XAUTHORITY
XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*)
tavrink=$(DISPLAY=$(xwayland) start "${TAVRINK_BUNDLE:?}/bin/tavrink" --no-public)
pids+=("$tavrink")
item=org.kde.StatusNotifierItem-$tavrink-1
until_true sh -c "dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.ListNames | grep -q '$item'" || fail "Tavrink's item did not come on the bus"

pasted() { [ "$(timeout 5 wl-paste -n 2>/dev/null)" = "$1" ]; }
id=$(menu_row_id "$item" "Hostname: $host")
[ -n "$id" ] || fail "no hostname row in the menu"
menu_click "$item" "$id"
until_true pasted "$host" || fail "choosing the hostname row put nothing a Wayland client can paste"
sleep 2
pasted "$host" || fail "a later paste did not get the hostname"
echo "ok: on GNOME under Wayland, choosing the hostname row copies '$host'; a later paste still gets it"
echo "e2e: all checks passed"
