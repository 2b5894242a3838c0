# Shared by the end-to-end scripts and the benchmarks (sourced): the home a desktop session under
# test starts from.

# Tavrink's settings in the config folder given: the daily update check goes to a closed port on
# this machine, never to the maker's server, and the offer to move into an applications folder
# has been declined (the build tree lies outside them).
quiet_settings() { # config-folder
    mkdir -p "$1/kelvandrosi"
    printf '[General]\nUpdateManifestURL=https://127.0.0.1:9/appcast.json\nskipUserApplicationsInstall=true\n' \
        >"$1/kelvandrosi/Tavrink.conf"
}

# A home for a sway session run as nobody: a private runtime folder, the settings above, and
# waybar with its tray at the usual 22 px.
sway_home() { # folder
    mkdir -p "$1/run" "$1/config/waybar"
    chmod 700 "$1/run"
    chmod 755 "$1"
    quiet_settings "$1/config"
    printf '{"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"], "tray": {"icon-size": 22}}\n' \
        >"$1/config/waybar/config"
}
