#!/usr/bin/env bash
# Copying on Wayland and idle memory, sway against xfce, in one run (bench/run wayland; root).
# sway 1.7 (headless, as nobody, with waybar's tray) starts Tavrink: 50 copies of the hostname
# row, each from the DBusMenu click to wl-paste reading the hostname (the clipboard is handed to
# another text between copies), against the same loop with `wl-copy` itself as the copier; then
# Tavrink's resident memory 60 s after its start. Then xfce4-panel with the indicator plugin
# under Xvfb: Tavrink's resident memory 60 s after its start.
set -euo pipefail
bundle=${1:?usage: wayland.sh BUNDLE}
here=$(cd "$(dirname "$0")" && pwd)
host=tavrinkbench

if [ "${2:-}" != --sway ] && [ "${2:-}" != --xfce ]; then
    source "$here/../tests/util/e2e.sh"
    make_work
    source "$here/../tests/util/session_home.sh"
    sway_home "$work"
    mkdir -p "$work/config/xfce4/xfconf/xfce-perchannel-xml"
    printf 'xwayland disable\nbar swaybar_command waybar\nexec %s --no-public\n' "$bundle/bin/tavrink" >"$work/sway.conf"
    cp "$here/../tests/e2e/xfce4-panel.xml" "$work/config/xfce4/xfconf/xfce-perchannel-xml/"
    cp "$0" "$here"/../tests/util/{dbusmenu,e2e,x11_session}.sh "$work/"
    chown -R nobody:nogroup "$work"
    echo "== copying on sway with waybar (median of 50, click to wl-paste) and idle memory 60 s after start"
    unshare --uts sh -c "hostname $host && exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH=/usr/bin:/bin HOME='$work' XDG_RUNTIME_DIR='$work/run' XDG_CONFIG_HOME='$work/config' \
        WORK='$work' dbus-run-session -- bash '$work/wayland.sh' '$bundle' --sway" 2>/dev/null
    env HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" WORK="$work" \
        unshare --uts dbus-run-session -- bash "$work/wayland.sh" "$bundle" --xfce 2>/dev/null
    exit 0
fi

source "$WORK/dbusmenu.sh"
source "$WORK/e2e.sh"
source "$WORK/x11_session.sh"
trap cleanup EXIT
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
now_us() { echo $(($(date +%s%N) / 1000)); }
rss_at_60s() { # pid started_us
    sleep $(awk -v s="$2" -v n="$(now_us)" 'BEGIN {d = 60 - (n - s) / 1e6; print (d > 0 ? d : 0)}')
    awk '/VmRSS/ {print $2}' "/proc/$1/status"
}

if [ "$2" = --sway ]; then
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$WORK/sway.conf" >/dev/null 2>&1 &
    pids+=($!)
    until_true test -S "$XDG_RUNTIME_DIR/wayland-1"
    export WAYLAND_DISPLAY=wayland-1
    TRIES=80 until_true pgrep -u nobody -x tavrink >/dev/null
    tavrink=$(pgrep -u nobody -x tavrink)
    started=$(now_us)
    # Tavrink registers with waybar's watcher again under a fresh name, 2 s after the first.
    item=org.kde.StatusNotifierItem-$tavrink-2
    TRIES=80 until_true sh -c "dbus-send --session --print-reply --dest=$item /MenuBar \
        com.canonical.dbusmenu.GetLayout int32:0 int32:0 array:string: >/dev/null 2>&1"
    id=$(menu_row_id "$item" "Hostname: $host")
    copy_time() { # copier...: microseconds from the copy asked to the hostname pasted
        echo other | wl-copy
        until [ "$(wl-paste -n 2>/dev/null)" = other ]; do :; done
        local t0
        t0=$(now_us)
        "$@"
        until [ "$(wl-paste -n 2>/dev/null)" = "$host" ]; do :; done
        echo $(($(now_us) - t0))
    }
    ours=$(for _ in $(seq 50); do copy_time menu_click "$item" "$id"; done | median)
    theirs=$(for _ in $(seq 50); do copy_time sh -c "printf %s $host | wl-copy"; done | median)
    echo "  tavrink: ${ours} us   wl-copy from a shell: ${theirs} us   ratio: $(awk -v a="$ours" -v b="$theirs" 'BEGIN{printf "%.2f", a/b}')"
    echo "  sway: tavrink resident 60 s after start: $(rss_at_60s "$tavrink" "$started") kB"
else
    start_xvfb
    pids+=("$(start /usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service)")
    pids+=("$(start xfce4-panel)")
    sleep 2
    started=$(now_us)
    tavrink=$(start "$1/bin/tavrink" --no-public)
    pids+=("$tavrink")
    echo "  xfce: tavrink resident 60 s after start: $(rss_at_60s "$tavrink" "$started") kB"
fi
