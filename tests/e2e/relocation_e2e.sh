#!/usr/bin/env bash
# The move into an applications folder as a user meets it, under Xvfb with an XEmbed tray: a
# copy started from ~/Downloads asks to move; "Move and Reopen" copies it to /opt (a tmpfs of
# this script's own mount namespace), puts the downloaded copy in the Trash and starts the copy
# in /opt, which registers itself there and asks nothing. A second download answered "Not Now"
# keeps running where it is, and the answer is remembered. Exit 77: skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../util/e2e.sh"

if [ "${1:-}" != --inner ]; then
    require "for mount and network namespaces" Xvfb trayer tesseract import convert xdotool unshare
    make_work
    mkdir -p "$work/Downloads" "$work/config/kelvandrosi"
    # The automatic update check goes to a closed port, never to the maker's server.
    printf '[General]\nUpdateManifestURL=https://127.0.0.1:9/appcast.json\n' >"$work/config/kelvandrosi/Tavrink.conf"
    run_inner "$work" "--mount --net"
    exit $?
fi

mount -t tmpfs tavrink-e2e /opt
ip link set lo up
trap 'pkill -f "^/opt/Tavrink.app/bin/tavrink|^$HOME/Downloads" 2>/dev/null || true; cleanup' EXIT
source "$here/../util/x11_session.sh"
start_xvfb
pids+=("$(start trayer --edge bottom --align right --widthtype request --height 32)")
running_from() { pgrep -f "^$1/bin/tavrink" >/dev/null; }

cp -a "${TAVRINK_BUNDLE:?}" "$HOME/Downloads/Tavrink.app"
pids+=("$(start "$HOME/Downloads/Tavrink.app/bin/tavrink" --no-public)")
OCR_LIGHT=1 until_true shows "$dialog" "Move Tavrink to" || fail "no offer to move"
# The dialog may break the line after "~/"; the words are read as one text.
OCR_LIGHT=1 ocr "$dialog" | tr -s '\n' ' ' | grep -q "Move Tavrink to /opt?.*running from ~/ \?Downloads" ||
    fail "the offer does not name /opt and ~/Downloads"
echo "ok: a copy in ~/Downloads offers to move itself"
OCR_LIGHT=1 click_word "$dialog" "^Reopen$" # the button, not the title
until_true running_from /opt/Tavrink.app || fail "no Tavrink started from /opt/Tavrink.app"
until_true not running_from "$HOME/Downloads/Tavrink.app" || fail "the downloaded copy kept running"
[ ! -e "$HOME/Downloads/Tavrink.app" ] || fail "the downloaded copy is still in ~/Downloads"
[ -x "$XDG_DATA_HOME/Trash/files/Tavrink.app/bin/tavrink" ] || fail "the downloaded copy is not in the Trash"
[ "$(ls -A /opt)" = Tavrink.app ] || fail "something was left beside /opt/Tavrink.app: $(ls -A /opt)"
until_true grep -qs "^Exec=/opt/Tavrink.app/bin/tavrink %u$" "$XDG_DATA_HOME/applications/com.kelvandrosi.Tavrink.desktop" ||
    fail "the desktop entry does not point at /opt"
sleep 1
OCR_LIGHT=1 not shows "$dialog" "Move Tavrink" || fail "the copy in /opt asked to move again"
echo "ok: 'Move and Reopen' moves it to /opt, the download to the Trash, and the copy in /opt runs"

pkill -f "^/opt/Tavrink.app/bin/tavrink"
until_true not running_from /opt/Tavrink.app
cp -a "$TAVRINK_BUNDLE" "$HOME/Downloads/Tavrink.app"
second=$(start "$HOME/Downloads/Tavrink.app/bin/tavrink" --no-public)
pids+=("$second")
OCR_LIGHT=1 until_true shows "$dialog" "Move Tavrink to" || fail "no offer to the second download"
OCR_LIGHT=1 click_word "$dialog" "^Now$"
sleep 1
kill -0 "$second" 2>/dev/null || fail "'Not Now' ended Tavrink"
grep -q "skipUserApplicationsInstall=true" "$XDG_CONFIG_HOME/kelvandrosi/Tavrink.conf" || fail "'Not Now' was not remembered"
echo "ok: 'Not Now' keeps it running where it is, and is remembered"
echo "e2e: all checks passed"
