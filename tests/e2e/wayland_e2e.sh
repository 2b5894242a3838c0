#!/usr/bin/env bash
# Copying on Wayland, in sway 1.7 (headless) with waybar's tray as the watcher, with Qt on
# Wayland itself (no XWayland) and then on XWayland: choosing the hostname row puts it on the
# clipboard through the compositor's data-control protocol, a later paste still gets it, another
# client's copy replaces it, and the offer ends when Tavrink quits. sway refuses to run as root,
# so the session runs as nobody. Exit 77: skipped.
set -euo pipefail

# The inner run reads the helpers from the work folder, beside its copy of this script.
util="$(dirname "$0")/../util"
[ -f "$util/e2e.sh" ] || util=$(dirname "$0")
source "$util/e2e.sh"
tavrink="${TAVRINK_BUNDLE:?}/bin/tavrink"
host=tavrinkwayland

if [ "${1:-}" != --inner ]; then
    require "for a UTS namespace and to run the session as nobody" \
        sway waybar wl-paste wl-copy setpriv dbus-run-session dbus-send unshare convert
    make_work
    source "$util/session_home.sh"
    sway_home "$work"
    # nobody may not be able to enter the checkout (a clone in a 0700 folder): the session runs a
    # copy of the bundle from the work folder.
    cp -a "${TAVRINK_BUNDLE:?}" "$work/Tavrink.app"
    TAVRINK_BUNDLE=$work/Tavrink.app
    for xwayland in disable enable; do
        printf 'xwayland %s\nbar swaybar_command waybar\nexec %s --no-public >%s 2>&1\n' \
            "$xwayland" "${TAVRINK_BUNDLE}/bin/tavrink" "$work/tavrink-$xwayland.log" >"$work/sway-$xwayland.conf"
    done
    chown -R nobody:nogroup "$work"
    # The script is read as nobody, from the work folder.
    cp "$0" "$work/wayland_e2e.sh" && cp "$util"/{dbusmenu,e2e}.sh "$work/" && chmod 755 "$work"/*.sh
    unshare --uts sh -c "hostname $host && exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH=/usr/bin:/bin HOME='$work' XDG_RUNTIME_DIR='$work/run' XDG_CONFIG_HOME='$work/config' \
        XDG_DATA_HOME='$work/data' TAVRINK_BUNDLE='$TAVRINK_BUNDLE' WORK='$work' \
        dbus-run-session -- bash '$work/wayland_e2e.sh' --inner"
    exit $?
fi

source "$util/dbusmenu.sh"
trap cleanup EXIT

# One sway session: Tavrink started by sway (so with DISPLAY where XWayland is on), then the copy.
session() { # disable|enable
    local kind=$1
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$WORK/sway-$kind.conf" \
        >"$WORK/sway-$kind.log" 2>&1 &
    local sway=$!
    pids+=("$sway")
    until_true test -S "$XDG_RUNTIME_DIR/wayland-1" || fail "sway did not start"
    export WAYLAND_DISPLAY=wayland-1
    until_true pgrep -u nobody -x tavrink >/dev/null || fail "sway did not start Tavrink"
    local tavrink_pid item id
    tavrink_pid=$(pgrep -u nobody -x tavrink)
    item="org.kde.StatusNotifierItem-$tavrink_pid-1"
    until_true item_registered "$item" || fail "Tavrink's item did not register with waybar"
    # waybar's host never shows an item that registered while it started, and its watcher announces
    # a name only once: the item registers again under a fresh name, and the first one leaves.
    local first=$item
    item="org.kde.StatusNotifierItem-$tavrink_pid-2"
    until_true item_registered "$item" || fail "Tavrink did not register again under a fresh name"
    until_true not item_registered "$first" || fail "Tavrink's first name stayed with waybar's watcher"
    [ "$(watcher_property RegisteredStatusNotifierItems | grep -c StatusNotifierItem-)" = 1 ] ||
        fail "waybar's watcher lists more than one item: $(watcher_property RegisteredStatusNotifierItems)"
    if [ "$kind" = enable ]; then
        tr '\0' '\n' <"/proc/$tavrink_pid/environ" | grep -q '^DISPLAY=' || fail "sway gave Tavrink no XWayland display"
    fi
    echo "ok ($kind XWayland): Tavrink's item registers with waybar's tray, and again under a fresh name"
    # waybar draws no label: the hostname travels as the item's wide picture, legible at 22 px.
    if command -v grim >/dev/null && command -v tesseract >/dev/null; then
        bar_shows() {
            grim "$WORK/screen.png" &&
                convert "$WORK/screen.png" -crop 200x30+1080+0 +repage -colorspace Gray -negate -resize 400% \
                    -threshold 40% "$WORK/bar.png" &&
                tesseract "$WORK/bar.png" - --psm 7 >"$WORK/bar.txt" 2>/dev/null && grep -q "$host" "$WORK/bar.txt"
        }
        until_true bar_shows || fail "waybar's tray does not show '$host' legibly: read '$(cat "$WORK/bar.txt")' (see bar.png)"
        echo "ok ($kind XWayland): waybar's tray shows '$host' legibly"
    fi

    # The hostname row's id, as the menu gives it now; then the click a host sends for it.
    id=$(menu_row_id "$item" "Hostname: $host")
    [ -n "$id" ] || fail "no hostname row in the menu"
    choose() { menu_click "$item" "$id"; }
    choose
    until_true pasted "$host" || fail "choosing the hostname row put nothing on the Wayland clipboard"
    [ "$(timeout 5 wl-paste -n --type 'text/plain;charset=utf-8')" = "$host" ] || fail "not offered as text/plain;charset=utf-8"
    # The text reaches wl-copy on its standard input: its command line, which every account can
    # read in /proc, never holds it.
    copier=$(pgrep -u nobody -f "wl-copy --foreground" | head -1)
    [ -n "$copier" ] || fail "no wl-copy serves Tavrink's copy"
    ! tr '\0' ' ' <"/proc/$copier/cmdline" | grep -qF "$host" || fail "the copied text is on wl-copy's command line"
    sleep 2
    pasted "$host" || fail "a later paste did not get the hostname"
    echo "ok ($kind XWayland): choosing the hostname row copies '$host'; a later paste still gets it"

    echo other | wl-copy
    until_true pasted other || fail "another client's copy did not replace Tavrink's"
    until_true not pgrep -u nobody -f "wl-copy --foreground" >/dev/null || fail "Tavrink's offer outlived its replacement"
    choose
    until_true pasted "$host" || fail "a second copy did not take the clipboard back"
    kill "$tavrink_pid"
    until_true not pasted "$host" || fail "the offer stayed after Tavrink quit"
    echo "ok ($kind XWayland): another client's copy replaces the offer, and it ends when Tavrink quits"
    kill "$sway"
    until_true not test -S "$XDG_RUNTIME_DIR/wayland-1"
}

session disable
if command -v Xwayland >/dev/null; then
    session enable
else
    echo "skipped: the XWayland half (Xwayland is missing; scripts/install-deps --test installs it)"
fi
echo "e2e: all checks passed"
