#!/usr/bin/env bash
# Keys as a person types them into the real window: every row of key_matrix.txt typed with
# xdotool into the probe gives the keys the translation table says, and leaves nothing held in
# the down list; the same on a German layout for the rows that layout has. Keys held for seconds,
# many keys at once and modifiers let go in another window leave nothing held. Pause and
# Ctrl+Break typed into another window do nothing; typed into the program's window they pause it
# and end it. A character typed with AltGr on the German layout is that character. A key that
# another program sends straight to the window does nothing. In kavaro, Ctrl+3 neither saves nor
# quits.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
MATRIX="$(dirname "$0")/key_matrix.txt"
command -v setxkbmap >/dev/null || fail "no setxkbmap (scripts/setup.sh installs x11-xkb-utils)"
setxkbmap -layout us
"$XTOOL" window Other &
OTHER_PID=$!
trap 'kill $OTHER_PID 2>/dev/null || true; e2e_cleanup' EXIT
cp "$KAVARO_PROBE" "$WORK/probe"
(cd "$WORK" && exec ./probe >"$WORK/out" 2>"$WORK/stderr") &
APP_PID=$!
win=$("$XTOOL" find Kavaro) || fail "no window"
other=$("$XTOOL" find Other) || fail "no second window"
"$XTOOL" move "$win" 0 0
xdotool windowfocus --sync "$win"
sleep 0.3

python3 - "$WORK/out" "$MATRIX" "$win" "$other" "$XTOOL" <<'PY'
import subprocess, sys, time

out_path, matrix_path, win, other = sys.argv[1:5]
# Codes that stand for toggle states, not for held keys.
STATES = {100300, 100301, 200011, 200012}
failures = []

def xdo(*args):
    subprocess.run(["xdotool", *args], check=True)

def focus(w):
    xdo("windowfocus", "--sync", w)
    time.sleep(0.05)

out_file, got_keys, pending = open(out_path, "rb"), [], None

def keys():
    """(key, down set) for every key the probe has read."""
    global pending
    for line in out_file.readlines():
        if not line.endswith(b"\n"):  # written in part: read it again whole
            out_file.seek(-len(line), 1)
            break
        line = line.decode()
        if line.startswith("key "):
            pending = line[4:].strip()
        elif line.startswith("down") and pending is not None:
            got_keys.append((pending, {int(c) for c in line.split()[1:]}))
            pending = None
    return got_keys

def wait_keys(n, limit=2.0):
    end = time.time() + limit
    while True:
        got = keys()
        if len(got) >= n or time.time() > end:
            return got
        time.sleep(0.003)

def typed(cmds, sentinel="space", before=None):
    """Types the commands and then a sentinel key; returns the keys read before the sentinel and
    what was held once the sentinel was read (every key typed before it has been released)."""
    code = {"space": "32", "Escape": "27"}[sentinel]
    if before is None:
        before = len(keys())
    words = []
    for w in (cmds + " key " + sentinel).split():
        words.append(w)
        if w in ("key", "keydown", "keyup"):
            words += ["--delay", "1"]
    xdo(*words)
    end = time.time() + 3
    while time.time() < end:
        got = keys()[before:]
        if got and got[-1][0] == code:
            return [k for k, _ in got[:-1]], got[-1][1] - STATES - {int(code)}
        time.sleep(0.003)
    return [k for k, _ in keys()[before:]], {"sentinel never read"}

def matrix(layout):
    rows = 0
    for line in open(matrix_path):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        layouts, cmds, want = (p.strip() for p in line.split("|"))
        if layout not in layouts.split():
            continue
        rows += 1
        want = [] if want == "-" else [w.strip() for w in want.split(",")]
        got, held = typed(cmds, "Escape" if "space" in cmds else "space")
        if got != want or held:
            failures.append("%s: %s: read %s (want %s), held after: %s"
                            % (layout, cmds, got, want, sorted(held)))
    return rows

t0 = time.time()
n = matrix("us")
print("us: %d rows in %.1f s" % (n, time.time() - t0))
size = subprocess.run([sys.argv[5], "size", win], capture_output=True, text=True).stdout.strip()
if size != "640 480":
    failures.append("after the full-screen cycle the window is %s" % size)

# Keypad Enter held: the down list has the keypad code while it is down.
xdo("keydown", "104")
got = wait_keys(len(keys()) + 1)
xdo("keyup", "104")
if got[-1][0] != "13" or 100271 not in got[-1][1]:
    failures.append("keypad Enter held: %s" % (got[-1],))

# A key held for seconds repeats as presses and is let go once.
before = len(keys())
xdo("keydown", "x")
time.sleep(1.5)
xdo("keyup", "x")
got, held = typed("", before=before)
if len(got) < 10 or set(got) != {"120"} or held:
    failures.append("held x: %d keys %s, held after %s"
                    % (len(got), sorted(set(got)), sorted(held)))

# Many keys at once, let go in another order.
got, held = typed("keydown a keydown s keydown d keydown f keydown g keydown h keydown j "
                  "keydown k keydown l keydown Shift_R keyup h keyup a keyup Shift_R keyup l "
                  "keyup s keyup k keyup d keyup g keyup j keyup f")
if got != ["97", "115", "100", "102", "103", "104", "106", "107", "108"] or held:
    failures.append("many keys: %s, held after %s" % (got, sorted(held)))

# Modifiers pressed in the window and let go in another, and the other way round.
xdo("keydown", "Shift_L", "keydown", "Control_R")
focus(other)
xdo("keyup", "Shift_L", "keyup", "Control_R")
focus(win)
got, held = typed("key a")
if got != ["97"] or held:
    failures.append("modifiers let go elsewhere: %s, held after %s" % (got, sorted(held)))
focus(other)
xdo("keydown", "Control_L")
focus(win)
got, held = typed("key a")
if got != ["1"] or held != {100306}:
    failures.append("Ctrl pressed elsewhere, held here: %s, held %s" % (got, sorted(held)))
xdo("keyup", "Control_L")
got, held = typed("key a")
if got != ["97"] or held:
    failures.append("Ctrl let go here: %s, held after %s" % (got, sorted(held)))

# Pause and Ctrl+Break typed into another window do nothing to the program.
focus(other)
xdo("key", "Pause", "key", "ctrl+Pause", "key", "ctrl+Scroll_Lock")
time.sleep(0.2)
focus(win)
got, held = typed("key x")
if got != ["120"] or held:
    failures.append("Pause/Break in another window: %s, held after %s" % (got, sorted(held)))
# Into the program's window: Pause stops it, the next key only ends the pause.
got, held = typed("key Pause key x key y")
if got != ["121"] or held:
    failures.append("Pause: %s, held after %s" % (got, sorted(held)))

# A key sent by another program (x, key 53) is not the keyboard's: nothing.
before = len(keys())
subprocess.run([sys.argv[5], "sendkey", win, "53"], check=True)
time.sleep(0.2)
got, held = typed("", before=before)
if got or held:
    failures.append("a sent key: %s, held after %s" % (got, sorted(held)))

# A German layout: the rows the layout has give the same keys.
subprocess.run(["setxkbmap", "-layout", "de"], check=True)
time.sleep(0.3)
t0 = time.time()
n = matrix("de")
print("de: %d rows in %.1f s" % (n, time.time() - t0))
# By key number, as the keyboard sends them: Z, Y, sharp s, a umlaut (with Ctrl too, which has no
# row), and the dead circumflex, which types nothing by itself.
got, held = typed("key 29 key 52 key 20 key 48 key ctrl+48 key 49")
if got != ["122", "121", "223", "228", "228"] or held:
    failures.append("German letters: %s, held after %s" % (got, sorted(held)))
subprocess.run(["setxkbmap", "-layout", "us"], check=True)

for f in failures:
    print("FAIL:", f, file=sys.stderr)
sys.exit(1 if failures else 0)
PY

# Ctrl+Break in the program's window ends the run like a close request.
xdotool key ctrl+Pause
e2e_wait_exit "$APP_PID" 3000
[ "$EXIT_STATUS" = 0 ] || fail "Ctrl+Break: the probe did not end with status 0 ($EXIT_STATUS)"

# kavaro: Ctrl+3 neither saves nor quits; Escape still saves and quits.
e2e_start
win=$("$XTOOL" find Kavaro) || fail "no kavaro window"
for _ in $(seq 50); do
  [ -f "$WORK/kavaro.dat" ] && break
  sleep 0.1
done
[ -f "$WORK/kavaro.dat" ] || fail "kavaro wrote no state file"
sleep 0.5
touch -d '2000-01-01' "$WORK/kavaro.dat"
xdotool windowfocus --sync "$win"
xdotool key ctrl+3
sleep 1
kill -0 "$APP_PID" 2>/dev/null || fail "kavaro ended after Ctrl+3"
old_time=$(date -d 2000-01-01 +%s)
[ "$(stat -c %Y "$WORK/kavaro.dat")" = "$old_time" ] || fail "Ctrl+3 wrote the state file"
xdotool key Escape
e2e_wait_exit "$APP_PID" 5000
[ "$EXIT_STATUS" = 0 ] || fail "Escape did not end kavaro ($EXIT_STATUS)"
[ "$(stat -c %Y "$WORK/kavaro.dat")" != "$old_time" ] || fail "Escape did not save"
echo "ok"
