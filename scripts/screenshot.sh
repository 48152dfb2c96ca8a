#!/usr/bin/env bash
# Takes docs/screenshot.png: the release editor on a virtual 1600x900 screen with a generated
# 6000x3040 landscape (18 megapixels) fitted to the window and an ellipse selected on it.
#   scripts/screenshot.sh [path/to/quorvel]    (default: builds build-release/src/quorvel)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh --screenshot

if [[ $# -ge 1 ]]; then
    binary=$(realpath "$1")
else
    cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
    cmake --build build-release -j"$(nproc)" --target quorvel
    binary=$PWD/build-release/src/quorvel
fi

work=$(mktemp -d /tmp/quorvel-screenshot.XXXXXX)
xvfb_pid="" app_pid=""
cleanup() {
    if [[ -n $app_pid ]]; then kill "$app_pid" 2>/dev/null || true; fi
    if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

deadline=$((SECONDS + 90))
# wait_for DESCRIPTION COMMAND...: polls until COMMAND succeeds, at most until the deadline.
wait_for() {
    local what=$1
    shift
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS > deadline)); then
            echo "screenshot.sh: timed out waiting for $what" >&2
            [[ -s $work/log ]] && tail -n 20 "$work/log" >&2
            exit 1
        fi
        sleep 0.05
    done
}

# A landscape at dusk: sky gradient, sun with a glow, two ranges of hills, and a lake that
# mirrors them with ripples.
/usr/bin/python3 - "$work/landscape.png" <<'EOF'
import math, struct, sys, zlib
w, h, shore = 1500, 760, 520

def scene(x, y):
    t = y / shore
    if y > 450 + 40 * math.sin(x / 210 + 2) + 14 * math.sin(x / 37):
        return 40 + 45 * t, 82 + 40 * t, 48
    if y > 330 + 55 * math.sin(x / 127) + 28 * math.sin(x / 41 + 1):
        return 96 + 30 * t, 100 + 20 * t, 138
    r, g, b = 250 - 80 * t, 140 + 70 * t, 95 + 130 * t
    d = math.hypot(x - 1000, y - 270)
    if d < 75:
        return 255, 238, 175
    if d < 190:
        k = 0.65 * (190 - d) / 115
        r, g, b = r + (255 - r) * k, g + (222 - g) * k, b + (160 - b) * k
    return r, g, b

rows = bytearray()
for y in range(h):
    rows.append(0)
    for x in range(w):
        if y < shore:
            r, g, b = scene(x, y)
        else:
            depth = (y - shore) / (h - shore)
            ripple = 9 * math.sin(y * 0.9 + math.sin(x / 53) * 2) * (0.3 + depth)
            r, g, b = scene(x + ripple, max(0, 2 * shore - y - 2))
            k = 0.72 - 0.25 * depth
            r, g, b = r * k + 10, g * k + 18, b * k + 40
        rows += bytes((min(255, int(r)), min(255, int(g)), min(255, int(b))))

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))
EOF
# As large as a photo: the scene enlarged four times, so that fitting it to the window matters.
convert "$work/landscape.png" -filter Lanczos -resize 6000x3040! "$work/large.png"
mv "$work/large.png" "$work/landscape.png"

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1600x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 10 display <&"$fd" || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display

mkdir -m 700 "$work/runtime"
(cd "$work" && QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=generic XDG_RUNTIME_DIR="$work/runtime" \
    XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" exec "$binary") >"$work/log" 2>&1 &
app_pid=$!

visible() { xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null; }
wait_for "the splash" visible
splash=$(visible | head -1)
xdotool windowfocus --sync "$splash" key Escape
wait_for "the splash to close" bash -c "! xdotool search --onlyvisible --pid $app_pid | grep -qx $splash"

# With no window manager, the tallest window named Quorvel is the main window; give it the
# whole screen, as a maximised window would have.
main_window() {
    local id best="" tallest=0
    for id in $(visible); do
        [[ $(xdotool getwindowname "$id") == Quorvel* ]] || continue
        local height
        height=$(xdotool getwindowgeometry --shell "$id" | sed -n 's/^HEIGHT=//p')
        ((height > tallest)) && { tallest=$height; best=$id; }
    done
    [[ -n $best ]] && echo "$best"
}
wait_for "the main window" main_window
main=$(main_window)
xdotool windowmove "$main" 0 0 windowsize "$main" 1600 900
wait_for "the main window to fill the screen" \
    bash -c "xdotool getwindowgeometry $main | grep -q 'Geometry: 1600x900'"

xdotool windowfocus --sync "$main" key ctrl+o
focused_dialog() {
    local f
    f=$(xdotool getwindowfocus)
    [[ $f != "$main" ]] && visible | grep -qx "$f"
}
wait_for "the file open dialog" focused_dialog
xdotool type --delay 5 "$work/landscape.png"
xdotool key Return
wait_for "the picture to open" bash -c "xdotool getwindowname $main | grep -qF landscape.png"

# Fitted to the window, the ellipse tool, then a drag across the sun and the hills.
grab() { import -window root "ppm:$1"; }
grab "$work/unfitted.ppm"
xdotool windowfocus --sync "$main" key ctrl+9
changed_from() { grab "$work/now.ppm" && ! cmp -s "$work/now.ppm" "$1"; }
wait_for "the picture to fit the window" changed_from "$work/unfitted.ppm"
grab "$work/before.ppm"
xdotool windowfocus --sync "$main" key ctrl+e
xdotool mousemove --window "$main" 810 180 mousedown 1
for step in $(seq 1 20); do
    xdotool mousemove --window "$main" $((810 + step * 26)) $((180 + step * 17))
done
xdotool mouseup 1

# Wait until the selection outline is on the screen and nothing moves any more (the
# notification popup slides in before it holds still).
grab "$work/previous.ppm"
settled() {
    grab "$work/current.ppm"
    if ! cmp -s "$work/current.ppm" "$work/before.ppm" && cmp -s "$work/current.ppm" "$work/previous.ppm"; then
        return 0
    fi
    mv "$work/current.ppm" "$work/previous.ppm"
    return 1
}
wait_for "the screen to settle after the drag" settled

mkdir -p docs
import -window root -resize 1200x -depth 8 -strip "png:docs/screenshot.png"
echo "wrote docs/screenshot.png ($(stat -c %s docs/screenshot.png) bytes)"
