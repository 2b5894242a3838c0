# Shared by the end-to-end scripts (sourced): the watcher and a panel item's menu as a host reads
# them over D-Bus. Needs dbus-send and the session bus of the session under test.

watcher_property() { # name
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1" 2>/dev/null
}
item_property() { # service name
    dbus-send --session --print-reply --dest="$1" /StatusNotifierItem org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierItem "string:$2"
}
bus_has() { dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "string:$1" |
    grep -q "boolean true"; }
host_registered() { watcher_property IsStatusNotifierHostRegistered | grep -q "boolean true"; }
item_registered() { watcher_property RegisteredStatusNotifierItems | grep -q "$1"; } # service

# The id of the first row whose label contains text, in the menu of the item named service.
menu_row_id() { # service text
    dbus-send --session --print-reply --dest="$1" /MenuBar com.canonical.dbusmenu.GetLayout \
        int32:0 int32:-1 array:string:label |
        awk -v text="$2" '/int32 [0-9]+/ {id = $2} index($0, text) {print id; exit}'
}
# The click a host sends for row id.
menu_click() { # service id
    dbus-send --session --print-reply --dest="$1" /MenuBar com.canonical.dbusmenu.Event \
        int32:"$2" string:clicked variant:int32:0 uint32:0 >/dev/null
}
