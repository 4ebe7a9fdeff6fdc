#!/usr/bin/env bash
# Kill at any moment: starts the real program again and again on a virtual X
# desktop, keeps it writing (translations against a loopback server add
# history entries; typing a model name in the settings window saves a setting
# per keystroke) and kills it with SIGKILL at a random moment. After every kill
# the settings file must load and hold every history entry stored before it.
# Run inside scripts/test-session.sh (the key lives in its keyring).
#   killatanymoment.sh <tolvanis> <fakechatserver> <storedsettingscheck>
set -euo pipefail

tolvanis=$1
server=$2
check=$3
kills=${TOLVANIS_KILLS:-200}

if [[ -z "${DISPLAY:-}" || "${TOLVANIS_E2E_DESKTOP:-}" != 1 ]]; then
  export TOLVANIS_E2E_DESKTOP=1
  exec "$(dirname "$0")/../../scripts/virtual-desktop.sh" "$0" "$@"
fi

work=$(mktemp -d /tmp/tolvanis-kill.XXXXXX)
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
conf="$XDG_CONFIG_HOME/tolvanis/tolvanis.conf"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f "$work/known.conf" ]] && { echo "--- after the previous kill:"; cat "$work/known.conf"; } >&2
  [[ -f "$work/before.conf" ]] && { echo "--- just before the kill:"; cat "$work/before.conf"; } >&2
  [[ -f "$conf" ]] && { echo "--- after the kill:"; cat "$conf"; } >&2
  exit 1
}
source "$(dirname "$0")/desktopsteps.sh"
# Up to $1 milliseconds, at random.
randomsleep() { sleep "$(printf '0.%03d' $((RANDOM % $1)))"; }
# What a second launch does: ask the running instance to open its panel. The
# socket a killed instance left behind refuses until the new one listens.
show_panel() {
  python3 - "$XDG_RUNTIME_DIR/tolvanis.socket" <<'PY'
import socket, sys, time
for _ in range(500):
    try:
        s = socket.socket(socket.AF_UNIX)
        s.connect(sys.argv[1])
        s.sendall(b"show\n")
        sys.exit(0)
    except OSError:
        time.sleep(0.01)
sys.exit(1)
PY
}
# X, Y, WIDTH, HEIGHT of the visible window named $1, looked for again when
# it went away while xdotool looked.
geometry() {
  local window shape
  for _ in $(seq 1 20); do
    window=$(visible "$1" | head -n1)
    if [[ -n "$window" ]] && shape=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null); then
      eval "$shape"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

mkdir -p "$XDG_CONFIG_HOME/tolvanis" && mkdir -m 700 "$XDG_RUNTIME_DIR"
"$server" "$work/requests.log" 'The weather is lovely today.' >"$work/port" &
pids+=($!)
waitfor 50 test -s "$work/port" || fail "the loopback server did not start"
cat >"$conf" <<CONF
[General]
com.quendrix.tolvanis.defaultEngine=llm
com.quendrix.tolvanis.llmProvider=openAICompatible
com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:$(head -n1 "$work/port")/v1
com.quendrix.tolvanis.openAIModel=kill-test
CONF
printf 'sk-kill-test' | secret-tool store --label='tolvanis: openai-compatible-api-key' \
  service com.quendrix.tolvanis.llmkey account openai-compatible-api-key \
  || fail "could not store the key in the Secret Service"
printf '今天天气很好' | xclip -selection clipboard &
pids+=($!)

cp "$conf" "$work/known.conf"
midwrite=0
typed=0
started=$SECONDS
for ((i = 1; i <= kills; i++)); do
  "$tolvanis" 2>>"$work/tolvanis.log" &
  app=$!
  driver=
  if ((i % 10 == 0)); then
    # Any moment includes start-up, before the panel is up.
    randomsleep 800
  else
    show_panel || fail "kill $i: the program did not take the request to show its panel"
    waitfor 50 visible '^tolvanis$' || fail "kill $i: the panel did not open"
    if ((i % 2)); then
      xdotool key --delay 5 --repeat 500 Return &
      driver=$!
    else
      # The settings window from the panel's button; in its model name field a
      # new name, one save per keystroke. A click the desktop loses only costs
      # this run its settings writes.
      if geometry '^tolvanis$' &&
        xdotool mousemove $((X + ${TOLVANIS_E2E_SETTINGS_X:-313})) $((Y + ${TOLVANIS_E2E_SETTINGS_Y:-25})) click 1 &&
        waitfor 20 visible '^设置$' && geometry '^设置$'; then
        xdotool mousemove $((X + ${TOLVANIS_E2E_MODEL_X:-209})) $((Y + ${TOLVANIS_E2E_MODEL_Y:-151})) click 1 \
          key ctrl+a type --delay 8 "model-$i-abcdefghijklmnopqrstuvwxyz-0123456789-abcdefghijklmnopqrstuvwxyz" &
        driver=$!
        typed=$((typed + 1))
      fi
    fi
    randomsleep 500
  fi
  # cat reads the one file it opened, even when a write replaces it meanwhile.
  cat "$conf" >"$work/before.conf"
  kill -KILL "$app"
  wait "$app" 2>/dev/null || true
  if [[ -n "$driver" ]]; then kill "$driver" 2>/dev/null || true; wait "$driver" 2>/dev/null || true; fi
  # QSettings holds this lock, which names its process, only while it writes the file.
  [[ "$(head -n1 "$conf.lock" 2>/dev/null)" == "$app" ]] && midwrite=$((midwrite + 1))
  # Nothing the previous run had stored may go missing while this one runs
  # (the copy just before the kill) or through the kill.
  entries=$("$check" "$work/known.conf" "$work/before.conf" "$conf") || fail "kill $i lost stored settings"
  cp "$conf" "$work/known.conf"
done
grep -q '^com.quendrix.tolvanis.openAIModel=kill-test$' "$conf" && fail "no model name typed was ever saved"
((entries > 0)) || fail "no translation was ever stored"
echo "kill at any moment: $kills kills in $((SECONDS - started)) s, $midwrite inside a write;" \
  "$(grep -c -- '^----$' "$work/requests.log") translations, $typed runs typing a model name," \
  "$entries history entries kept"
