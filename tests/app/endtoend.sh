#!/usr/bin/env bash
# End to end on a real X server with a real tray and a compositing manager
# (picom): clicks by xdotool, the clipboard by xclip, the key in a real
# gnome-keyring, a loopback chat-completions server. The README's pictures
# are the panel.png and settings.png this run leaves in the screenshot dir.
# Run inside scripts/test-session.sh, which provides the D-Bus session and the
# unlocked keyring.
#   endtoend.sh <tolvanis> <fakechatserver> <screenshot dir>
# Fails (never skips) when the X server, the tray or the keyring cannot start.
set -euo pipefail

tolvanis=$1
server=$2
shots=$3

if [[ -z "${DISPLAY:-}" || "${TOLVANIS_E2E_DESKTOP:-}" != 1 ]]; then
  export TOLVANIS_E2E_DESKTOP=1
  exec "$(dirname "$0")/../../scripts/virtual-desktop.sh" "$0" "$@"
fi

rm -rf "$shots" && mkdir -p "$shots"
work=$(mktemp -d /tmp/tolvanis-e2e.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

step=0
shot() {
  step=$((step + 1))
  import -window root "$(printf '%s/%02d-%s.png' "$shots" "$step" "$1")"
}
fail() {
  echo "FAIL: $*" >&2
  shot failure || true
  exit 1
}
source "$(dirname "$0")/desktopsteps.sh"
# The colour of one pixel of a PNG, as ImageMagick names it.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
# Crops a window's area, with room around it for the shadow and the title bar,
# from the last numbered root shot. xwininfo: xdotool misplaces framed windows.
crop() {
  local id=$1 out=$2 pad=${3:-0}
  eval "$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print "X=" $4} /Absolute upper-left Y/ {print "Y=" $4}
    /Width:/ {print "WIDTH=" $2} /Height:/ {print "HEIGHT=" $2}')"
  convert "$(ls "$shots"/[0-9]*.png | tail -n1)" \
    -crop "$((WIDTH + 2 * pad))x$((HEIGHT + 2 * pad))+$((X - pad))+$((Y - pad))" +repage "$out"
}

# A compositing manager with shadows, so the panel shows its rounded corners.
picom --backend xrender --config /dev/null --shadow >"$work/picom.log" 2>&1 &
picom=$!
pids+=($picom)
waitfor 50 bash -c "xwininfo -root -tree | grep -qi picom" || fail "picom did not start"

# A private home: settings point at the loopback server.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME/tolvanis"
reply='The weather is lovely today.'
"$server" "$work/requests.log" "$reply" >"$work/port" &
pids+=($!)
waitfor 50 test -s "$work/port" || fail "the loopback server did not start"
port=$(head -n1 "$work/port")
cat >"$XDG_CONFIG_HOME/tolvanis/tolvanis.conf" <<CONF
[General]
com.quendrix.tolvanis.defaultEngine=llm
com.quendrix.tolvanis.llmProvider=openAICompatible
com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:$port/v1
com.quendrix.tolvanis.openAIModel=e2e-model
CONF

# The key goes into the keyring through stdin, never on a command line.
key='sk-e2e-test-key'
printf '%s' "$key" | secret-tool store --label='tolvanis: openai-compatible-api-key' \
  service com.quendrix.tolvanis.llmkey account openai-compatible-api-key \
  || fail "could not store the key in the Secret Service"

source_text='今天天气很好'
printf '%s' "$source_text" | xclip -selection clipboard &
pids+=($!)

"$tolvanis" &
app=$!
trayer=$TOLVANIS_TRAY_WINDOW
# The tray grows from its empty width once the icon is embedded.
tray_has_icon() {
  eval "$(xdotool getwindowgeometry --shell "$trayer")"
  ((WIDTH >= 16))
}
waitfor 100 tray_has_icon || fail "the tray icon was not embedded"
eval "$(xdotool getwindowgeometry --shell "$trayer")"
icon_x=$((X + WIDTH / 2))
icon_y=$((Y + HEIGHT / 2))
shot tray-icon

# Left click: the panel opens under the icon, pre-filled from the clipboard.
xdotool mousemove "$icon_x" "$icon_y" click 1
waitfor 50 visible '^tolvanis$' || fail "a left click did not open the panel"
panel=$(visible '^tolvanis$' | head -n1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
panel_x=$X panel_y=$Y panel_h=$HEIGHT
[[ $WIDTH -eq 340 ]] || fail "the panel is $WIDTH wide, not 340"
(( panel_y >= icon_y )) || fail "the panel is not under the icon"
screen=$(xdotool getdisplaygeometry)
(( X >= 0 && Y >= 0 && X + WIDTH <= ${screen% *} && Y + HEIGHT <= ${screen#* } )) \
  || fail "the panel at $X,$Y ${WIDTH}x$HEIGHT is not wholly on the $screen screen"
sleep 0.3
shot panel-prefilled
crop "$panel" "$work/panel.png"
# The corner shows what lies behind; the top edge is a line darker than the
# panel's background just below it.
inside=$(pixel "$work/panel.png" 170 4)
[[ $(pixel "$work/panel.png" 0 0) != "$inside" ]] || fail "the panel's corner is not rounded"
[[ $(pixel "$work/panel.png" 170 0) != "$inside" ]] || fail "the panel has no outline"
# No blank strip: inside the corners and the outline, what differs from the
# background (the translate button) ends one padding above the bottom edge.
content=$(convert "$work/panel.png" -shave 10x10 -fuzz 2% -trim -format '%h %@' info:)
bottom=$(( $(sed -E 's/.*x([0-9]+)\+[0-9]+\+([0-9]+)$/\1 + \2/' <<<"${content#* }") ))
(( panel_h - 20 - bottom <= 8 )) || fail "a blank strip of $((panel_h - 20 - bottom)) px under the content"

# Return translates: the server receives the exact request.
xdotool key Return
waitfor 50 grep -q -- '----' "$work/requests.log" || fail "no request reached the server"
grep -q '^POST /v1/chat/completions ' "$work/requests.log" || fail "wrong method or path"
grep -qi "^authorization: Bearer $key" "$work/requests.log" || fail "the key was not sent"
grep -q "\"model\":\"e2e-model\"" "$work/requests.log" || fail "the model was not sent"
grep -q "$source_text" "$work/requests.log" || fail "the clipboard text was not translated"
sleep 0.5
shot result-shown
crop "$panel" "$shots/panel.png" 24

# The copy button sits in the result card's top trailing corner.
xdotool mousemove $((panel_x + ${TOLVANIS_E2E_COPY_X:-313})) $((panel_y + ${TOLVANIS_E2E_COPY_Y:-262})) click 1
waitfor 30 bash -c "[[ \"\$(xclip -selection clipboard -o)\" == '$reply' ]]" || fail "copy did not put the result on the clipboard"
sleep 0.2
shot copied

# The history keeps the translation across closing and opening the panel.
xdotool mousemove "$icon_x" "$icon_y" click 1
waitfor 30 bash -c "! xdotool search --onlyvisible --name '^tolvanis\$'" || fail "a second click did not close the panel"
grep -q 'com.quendrix.tolvanis.history=.*@ByteArray' "$XDG_CONFIG_HOME/tolvanis/tolvanis.conf" \
  || fail "the history was not stored"
sleep 0.4
xdotool mousemove "$icon_x" "$icon_y" click 1
waitfor 50 visible '^tolvanis$' || fail "the panel did not open again"
translate_face=$(import -window "$panel" rgb:- | md5sum)
xdotool mousemove $((panel_x + ${TOLVANIS_E2E_HISTORY_X:-285})) $((panel_y + ${TOLVANIS_E2E_HISTORY_Y:-25})) click 1
# On a loaded machine the flip takes longer than its animation: wait until the
# face has changed and then holds still.
face_changed() {
  local now
  now=$(import -window "$panel" rgb:- | md5sum)
  [[ "$now" != "$translate_face" && "$now" == "${last_face:-}" ]] && return 0
  last_face=$now
  return 1
}
waitfor 50 face_changed || fail "the history button did not turn the panel over"
shot history
eval "$(xdotool getwindowgeometry --shell "$panel")"
(( HEIGHT == panel_h )) || fail "the history face is $HEIGHT high, the translate face $panel_h"

# Escape turns back from the history first, then closes the panel.
xdotool key Escape
sleep 0.6
visible '^tolvanis$' >/dev/null || fail "Escape in the history closed the panel"
xdotool key Escape
waitfor 30 bash -c "! xdotool search --onlyvisible --name '^tolvanis\$'" || fail "Escape did not close the panel"

# Right click: the status menu; "设置…" twice gives one window titled 设置.
for attempt in 1 2; do
  xdotool mousemove "$icon_x" "$icon_y" click 3
  sleep 0.5
  [[ $attempt == 1 ]] && shot status-menu
  xdotool key Down Down Return
  waitfor 50 visible '^设置$' || fail "设置… did not open the settings window"
done
[[ $(visible '^设置$' | wc -l) -eq 1 ]] || fail "the settings window opened more than once"
sleep 0.3
shot settings
crop "$(visible '^设置$' | head -n1)" "$shots/settings.png" 24

# A click in another X client closes the panel.
xdotool mousemove "$icon_x" "$icon_y" click 1
waitfor 50 visible '^tolvanis$' || fail "the panel did not open for the outside-click check"
xmessage -geometry +40+500 -name other 'another application' &
pids+=($!)
waitfor 50 xdotool search --onlyvisible --name '^other$' || fail "the other client did not start"
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name '^other$' | head -n1)")"
xdotool mousemove $((X + 20)) $((Y + 10)) click 1
waitfor 30 bash -c "! xdotool search --onlyvisible --name '^tolvanis\$'" || fail "an outside click did not close the panel"
shot outside-click

# Without a compositing manager: square corners in the colour of a 1-px edge.
kill "$picom"
waitfor 50 bash -c "! xwininfo -root -tree | grep -qi picom" || fail "picom did not stop"
sleep 0.4
xdotool mousemove "$icon_x" "$icon_y" click 1
waitfor 50 visible '^tolvanis$' || fail "the panel did not open without a compositor"
sleep 0.3
shot no-compositor
crop "$panel" "$work/plain.png"
edge=$(pixel "$work/plain.png" 170 0)
[[ $(pixel "$work/plain.png" 0 0) == "$edge" && $edge != $(pixel "$work/plain.png" 170 4) ]] \
  || fail "without a compositor the panel has no 1-px edge"
xdotool key Escape
waitfor 30 bash -c "! xdotool search --onlyvisible --name '^tolvanis\$'" || fail "Escape did not close the panel"

# "退出 tolvanis" ends the program with status 0.
xdotool mousemove "$icon_x" "$icon_y" click 3
sleep 0.5
xdotool key Up Return
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then kill "$app"; fail "退出 tolvanis did not end the program"; fi
wait "$app" || fail "tolvanis exited with status $?"

echo "end to end: every step passed; screenshots in $shots"
