# Shared by the end-to-end scripts (sourced after e2e.sh and x11_session.sh): xfce4-panel with its
# indicator plugin, and ayatana-indicator-application as the watcher, which draws labels. The
# item sits at the right end of the 1024 px panel; its menu opens under it.

aya=/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service
xfce_menu=500x400+524+0

# Skips without the panel's parts; else lays the panel out in the config folder given.
xfce_home() { # config-folder
    [ -x "$aya" ] || skip "ayatana-indicator-application is missing"
    [ -f /usr/lib/x86_64-linux-gnu/xfce4/panel/plugins/libindicator-plugin.so ] || skip "xfce4-indicator-plugin is missing"
    mkdir -p "$1/xfce4/xfconf/xfce-perchannel-xml"
    cp "$(dirname "${BASH_SOURCE[0]}")/../e2e/xfce4-panel.xml" "$1/xfce4/xfconf/xfce-perchannel-xml/"
}
# Starts the watcher and the panel, as aya_pid and panel_pid.
start_xfce() {
    aya_pid=$(start "$aya")
    panel_pid=$(start xfce4-panel)
    pids+=("$aya_pid" "$panel_pid")
    sleep 2
}
# Clicks the item until its menu shows pattern.
open_xfce_menu() { # pattern
    for _ in 1 2 3 4; do
        xdotool mousemove 1000 15 click 1
        until_true shows "$xfce_menu" "$1" && return 0
        xdotool key Escape
    done
    fail "the menu did not open or did not show '$1'"
}
