# Shared by the end-to-end scripts (sourced): skipping (exit 77) when root or a tool is missing, a
# scratch folder with a private runtime folder, the processes a script starts (killed when it
# ends), failing with the logs' ends and the screenshots kept in /tmp, and waiting for a condition.

skip() { echo "SKIP: $*"; exit 77; }
# Skips unless run as root and every tool named is installed.
require() { # what-root-is-for tool...
    [ "$(id -u)" -eq 0 ] || skip "needs root $1; CI runs it as root"
    shift
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps --test installs it)"
    done
}
# Sets work to a new scratch folder, removed at exit, with a private runtime folder work/run.
make_work() {
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/run"
    chmod 700 "$work/run"
}

# Runs this script again as "--inner argument...", in new namespaces (unshare's flags) with a
# session bus of its own, at home in folder: HOME, the XDG folders and WORK lie there.
run_inner() { # folder unshare-flags [argument...]
    local home=$1 flags=$2
    shift 2
    mkdir -p "$home/config" "$home/data" "$home/run" && chmod 700 "$home/run"
    # shellcheck disable=SC2086 # the flags are words
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
        WORK="$home" unshare $flags dbus-run-session -- bash "$0" --inner "$@"
}

pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; }
# Without WORK (a script that keeps no logs) it only says why.
fail() {
    echo "FAIL: $*"
    [ -z "${WORK:-}" ] || { tail -n 5 "$WORK"/*.log 2>/dev/null; cp "$WORK"/*.png /tmp/ 2>/dev/null || true; }
    exit 1
}
until_true() { for _ in $(seq "${TRIES:-40}"); do "$@" && return 0; sleep 0.25; done; return 1; }
not() { ! "$@"; }
# Whether a Wayland client pastes exactly text.
pasted() { [ "$(timeout 5 wl-paste -n 2>/dev/null)" = "$1" ]; }
