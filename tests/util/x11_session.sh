# Shared by the end-to-end scripts (sourced after e2e.sh): an Xvfb display of the script's own and
# ways to read the screen back (OCR; OCR_THRESHOLD=65% for dimmer text), find words on it, count
# windows and read the clipboard.
# Expects WORK (a scratch folder) and the pids array of e2e.sh.

# Starts Xvfb (1024x700) and exports its DISPLAY.
start_xvfb() {
    : >"$WORK/display"
    Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp 3>>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    pids+=($!)
    # The display's number ends with a newline once Xvfb listens.
    TRIES=80 until_true eval '[ "$(wc -l <"$WORK/display")" -ge 1 ]' || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$WORK/display")"
}
start() { "$@" >>"$WORK/$(basename "$1").log" 2>&1 & echo $!; }
# ImageMagick 7 names its one program magick, and warns on stderr when called as convert.
convert() { if command -v magick >/dev/null; then magick "$@"; else command convert "$@"; fi; }
# OCR of a screen region (geometry WxH+X+Y), light text on a dark panel made dark on light
# (OCR_LIGHT=1: the region is dark text on light already, as Qt's own menus are).
ocr() {
    import -window root -crop "$1" +repage "$WORK/shot.png"
    convert "$WORK/shot.png" -colorspace Gray $([ -n "${OCR_LIGHT:-}" ] || echo -negate) -resize 300% -threshold "${OCR_THRESHOLD:-55%}" \
        "$WORK/ocr.png"
    tesseract "$WORK/ocr.png" - --psm "${2:-4}" "${3:-}" 2>/dev/null
}
shows() { ocr "$1" | grep -q -- "$2"; } # region pattern
# Screen coordinates "x y" of the centre of the first word matching pattern in a region WxH+X+Y.
locate() {
    local x0 y0
    x0=$(sed -E 's/.*\+([0-9]+)\+[0-9]+$/\1/' <<<"$1")
    y0=$(sed -E 's/.*\+[0-9]+\+([0-9]+)$/\1/' <<<"$1")
    ocr "$1" 11 tsv | awk -F'\t' -v p="$2" -v x0="$x0" -v y0="$y0" \
        '$12 ~ p { printf "%d %d\n", x0 + ($7 + $9 / 2) / 3, y0 + ($8 + $10 / 2) / 3; exit }'
}
# Moves the pointer to x y in ten steps, as a hand does: Qt 6.8's menus take neither hover nor
# choice from a pointer that jumped onto them in one motion, as xdotool's mousemove does.
glide() { # x y
    local X Y SCREEN WINDOW i
    eval "$(xdotool getmouselocation --shell)"
    for i in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $((X + ($1 - X) * i / 10)) $((Y + ($2 - Y) * i / 10))
        sleep 0.02
    done
}
# Clicks the first word matching pattern in a region WxH+X+Y; fail (the script's own) when none.
click_word() {
    local x y
    read -r x y <<<"$(locate "$1" "$2")"
    [ -n "${x:-}" ] || fail "'$2' was not found on the screen"
    glide "$x" "$y"
    xdotool click 1
}
# Where an alert shows: the middle of the screen.
dialog=500x250+262+190
windows_named() { xwininfo -root -tree | grep -c "\"$1\"" || true; }
windows_are() { [ "$(windows_named "$1")" -eq "$2" ]; } # title count
clipboard_is() { [ "$(timeout 5 xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }
# Bright pixels in a region: the icon (light template on the panel, or the tray's application icon).
colour_pixels() {
    import -window root -crop "$1" +repage "$WORK/px.png"
    convert "$WORK/px.png" -fx "$2" -format "%[fx:mean*w*h]" info: | cut -d. -f1
}
