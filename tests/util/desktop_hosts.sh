# Shared by the end-to-end scripts (sourced after e2e.sh, x11_session.sh and dbusmenu.sh): the panels of KDE
# Plasma and LXQt, headless on the script's Xvfb, in their light or dark look, each with its
# StatusNotifierItem host and watcher. Expects WORK, XDG_CONFIG_HOME, a session bus and DISPLAY.

# Plasma 5.27 or 6: plasmashell with one top panel holding the system tray: every item shown, none
# in its popup, and no applets of Plasma's own, so that only the items of programs change it.
# kded's statusnotifierwatcher module is the watcher (kded5 or kded6, whichever is there);
# kactivitymanagerd, which plasmashell needs before it loads a layout, starts by D-Bus activation.
start_plasma() { # light|dark|twilight (the dark Plasma style over the light colours)
    # The tray adds every applet of its own that it does not know yet: all are known, none wanted.
    local applets
    # Plasma 5 marks them X-Plasma-NotificationArea, Plasma 6 by their X-Plasma-NotificationAreaCategory.
    applets=$(grep -l -E '"X-Plasma-NotificationArea": "true"|X-Plasma-NotificationArea=true|X-Plasma-NotificationAreaCategory' \
        /usr/share/plasma/plasmoids/*/metadata.* | xargs -n1 dirname | xargs -n1 basename | paste -sd,)
    cat >"$XDG_CONFIG_HOME/plasma-org.kde.plasma.desktop-appletsrc" <<LAYOUT
[Containments][1]
formfactor=2
immutability=1
lastScreen=0
location=3
plugin=org.kde.panel

[Containments][1][Applets][2]
immutability=1
plugin=org.kde.plasma.systemtray

[Containments][1][Applets][2][Configuration]
SystrayContainmentId=3

[Containments][1][General]
AppletOrder=2

[Containments][3]
formfactor=2
immutability=1
lastScreen=0
location=3
plugin=org.kde.plasma.private.systemtray

[Containments][3][General]
extraItems=org.kde.tavrink.none
knownItems=$applets
showAllItems=true
LAYOUT
    [ "$1" != dark ] || cp /usr/share/color-schemes/BreezeDark.colors "$XDG_CONFIG_HOME/kdeglobals"
    [ "$1" = light ] || printf '[Theme]\nname=breeze-dark\n' >"$XDG_CONFIG_HOME/plasmarc"
    export QT_QUICK_BACKEND=software XDG_CURRENT_DESKTOP=KDE
    dbus-update-activation-environment DISPLAY HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR QT_QUICK_BACKEND XDG_CURRENT_DESKTOP
    local kded
    kded=$(basename "$(command -v kded6 || command -v kded5)")
    pids+=("$(start "$kded")")
    until_true dbus-send --session --print-reply --dest="org.kde.$kded" /kded "org.kde.$kded.loadModule" \
        string:statusnotifierwatcher >/dev/null 2>&1 || fail "$kded did not load its statusnotifierwatcher module"
    pids+=("$(start plasmashell --no-respawn)")
    TRIES=120 until_true host_registered || fail "plasmashell's system tray did not register as a host"
}

# LXQt 1.2: lxqt-panel with its Status Notifier plugin alone; the panel is the watcher. Without
# a theme named in lxqt.conf the panel is drawn black.
start_lxqt() { # light|dark
    mkdir -p "$XDG_CONFIG_HOME/lxqt"
    printf '[General]\ntheme=%s\n' "$([ "$1" = dark ] && echo dark || echo Clearlooks)" >"$XDG_CONFIG_HOME/lxqt/lxqt.conf"
    cat >"$XDG_CONFIG_HOME/lxqt/panel.conf" <<'PANEL'
[General]
__userfile__=true

[panel1]
position=Top
panelSize=32
iconSize=22
plugins=statusnotifier

[statusnotifier]
type=statusnotifier
PANEL
    pids+=("$(start lxqt-panel)")
    until_true host_registered || fail "lxqt-panel did not register as a host"
}
start_mate() { # default
    # MATE's own default layout: the notification area (watcher and host in one) on the top panel.
    # No marco: under Xvfb with it, Qt 6.8's menus take no pointer input (Qt 6.4's do).
    # gsettings keeps what the panel writes in this session's own dconf.
    # Its applets are D-Bus services of their own, started by the bus: they need the display.
    dbus-update-activation-environment DISPLAY HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR
    pids+=("$(start mate-panel)")
    TRIES=120 until_true host_registered || fail "mate-panel's notification area did not register as a host"
}
start_cinnamon() { # default
    # Cinnamon draws with software GL under Xvfb; its panel is at the bottom. xapp-sn-watcher,
    # which its session autostarts, is the watcher and hands items to the panel's applet.
    export LIBGL_ALWAYS_SOFTWARE=1 XDG_CURRENT_DESKTOP=X-Cinnamon XDG_SESSION_TYPE=x11
    dbus-update-activation-environment DISPLAY HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR LIBGL_ALWAYS_SOFTWARE \
        XDG_CURRENT_DESKTOP
    panel=1024x40+0+660
    pids+=("$(start cinnamon)")
    TRIES=120 until_true dbus-send --session --print-reply --dest=org.Cinnamon /org/Cinnamon \
        org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 || fail "Cinnamon did not start"
    pids+=("$(start /usr/libexec/xapps/sn-watcher/xapp-sn-watcher)")
    TRIES=120 until_true host_registered || fail "xapp-sn-watcher did not register a host"
}
start_budgie() { # plain|ayatana (with ayatana-indicator-application, whose service takes the watcher's name)
    # Budgie's panel needs UPower, here on a system bus of the session's own, and its window manager;
    # its daemon is Budgie 10.9's StatusNotifier watcher.
    dbus-daemon --session --address="unix:path=$WORK/system-bus" --nofork --nopidfile >"$WORK/system-bus.log" 2>&1 &
    pids+=($!)
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/system-bus" LIBGL_ALWAYS_SOFTWARE=1 XDG_CURRENT_DESKTOP=Budgie:GNOME
    until_true test -S "$WORK/system-bus" || fail "the system bus did not start"
    pids+=("$(start /usr/libexec/upowerd)")
    dbus-update-activation-environment DISPLAY HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP \
        DBUS_SYSTEM_BUS_ADDRESS LIBGL_ALWAYS_SOFTWARE
    # In the order a session starts them: a daemon that opens the display while the window manager
    # takes it over may be refused the display and end.
    pids+=("$(start budgie-wm --x11)")
    TRIES=120 until_true eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "budgie-wm did not manage the screen"
    pids+=("$(start budgie-daemon)")
    TRIES=120 until_true bus_has org.budgie_desktop.BudgieOSD || fail "budgie-daemon did not start"
    pids+=("$(start budgie-panel)")
    # The bottom panel, short of its clock, whose minute may change while the item is looked for.
    panel=912x41+0+659
    export OCR_THRESHOLD=65% # Budgie 10.9's dark menu draws its first row's text dimmer
    TRIES=120 until_true eval 'xwininfo -root -tree | grep -q "\"budgie-panel\".* 1024x41+0+659"' ||
        fail "budgie-panel did not show its panel"
    [ "$1" = ayatana ] || return 0
    pids+=("$(start /usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service)")
    until_true host_registered || fail "ayatana-indicator-application did not take the watcher's name"
}
