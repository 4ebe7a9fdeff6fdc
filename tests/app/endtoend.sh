#!/usr/bin/env bash
# End to end on a real X server with a real tray: clicks by xdotool, the
# clipboard by xclip, the key in a real gnome-keyring, a loopback
# chat-completions server. Run inside scripts/test-session.sh, which
# provides the D-Bus session and the unlocked keyring.
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
panel_x=$X panel_y=$Y
[[ $WIDTH -eq 340 && $HEIGHT -eq 430 ]] || fail "the panel is ${WIDTH}x${HEIGHT}, not 340x430"
(( panel_y >= icon_y )) || fail "the panel is not under the icon"
sleep 0.3
shot panel-prefilled

# Return translates: the server receives the exact request.
xdotool key Return
waitfor 50 grep -q -- '----' "$work/requests.log" || fail "no request reached the server"
grep -q '^POST /v1/chat/completions ' "$work/requests.log" || fail "wrong method or path"
grep -qi "^authorization: Bearer $key" "$work/requests.log" || fail "the key was not sent"
grep -q "\"model\":\"e2e-model\"" "$work/requests.log" || fail "the model was not sent"
grep -q "$source_text" "$work/requests.log" || fail "the clipboard text was not translated"
sleep 0.5
shot result-shown

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
xdotool mousemove $((panel_x + ${TOLVANIS_E2E_HISTORY_X:-285})) $((panel_y + ${TOLVANIS_E2E_HISTORY_Y:-25})) click 1
sleep 0.8
shot history

# Right click: the status menu; "设置…" twice gives one window titled 设置.
for attempt in 1 2; do
  xdotool mousemove "$icon_x" "$icon_y" click 3
  sleep 0.5
  [[ $attempt == 1 ]] && shot status-menu
  xdotool key Down Return
  waitfor 50 visible '^设置$' || fail "设置… did not open the settings window"
done
[[ $(visible '^设置$' | wc -l) -eq 1 ]] || fail "the settings window opened more than once"
sleep 0.3
shot settings

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

# "退出 tolvanis" ends the program with status 0.
xdotool mousemove "$icon_x" "$icon_y" click 3
sleep 0.5
xdotool key Up Return
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then kill "$app"; fail "退出 tolvanis did not end the program"; fi
wait "$app" || fail "tolvanis exited with status $?"

echo "end to end: every step passed; screenshots in $shots"
