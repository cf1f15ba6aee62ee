#!/usr/bin/env bash
# A scripted capture on a private Xvfb, for machines without a display:
# select a region, draw a rectangle, an arrow and a text, copy, and save what
# the screen and the clipboard showed.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT="${1:-build/demo}"
mkdir -p "$OUT"
W=1280 H=800

exec 3< <(Xvfb -displayfd 1 -screen 0 ${W}x${H}x24 -noreset -nolisten tcp 2>/dev/null)
XPID=$!
read -r -t 10 NUM <&3 || { echo "demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$NUM"
RUNDIR=$(mktemp -d)
export XDG_RUNTIME_DIR="$RUNDIR"
cleanup() { kill "$XPID" 2>/dev/null || true; rm -rf "$RUNDIR"; }
trap cleanup EXIT

# A desktop to capture: a gradient with some text and shapes.
convert -size ${W}x${H} gradient:'#3a6ea5-#0b2545' \
  -fill '#f4f4f4' -draw "roundrectangle 160,120 760,520 12,12" \
  -font /usr/share/fonts/truetype/wqy/wqy-microhei.ttc -fill '#1d3557' -pointsize 30 -draw "text 200,190 'Quarterly report'" \
  -fill '#457b9d' -draw "rectangle 200,240 700,260" -draw "rectangle 200,290 620,310" \
  -draw "rectangle 200,340 680,360" -fill '#e63946' -draw "circle 600,440 640,440" \
  "$OUT/desktop.png"
display -window root "$OUT/desktop.png" &
sleep 1

[ -x build/tolvane ] || { echo "demo: build/tolvane is missing; run make build" >&2; exit 1; }
echo "demo: started Xvfb on $DISPLAY with a sample desktop ($OUT/desktop.png)"
./build/tolvane &
PID=$!
sleep 1
xd() { xdotool "$@"; sleep 0.15; }
drag() { xd mousemove "$1" "$2" mousedown 1; xd mousemove "$(( ($1 + $3) / 2 ))" "$(( ($2 + $4) / 2 ))"; xd mousemove "$3" "$4"; xd mouseup 1; }

# Select, then the toolbar sits below the selection's bottom-right corner.
L=140 T=100 R=800 B=560
drag $L $T $R $B
BAR_X=$(( R - 241 )) BAR_Y=$(( B + 4 + 13 ))
btn() { xd mousemove "$(( BAR_X + $1 / 15 + 8 ))" "$BAR_Y" click 1; }
btn 100            # rectangle
drag 520 380 700 500
btn 1220           # arrow
drag 380 470 560 440
btn 860            # text
xd mousemove 230 420 click 1
xdotool type --delay 40 "Look here"; sleep 0.3
xd mousemove 300 520 click 1
xd mousemove 620 200
import -window root "$OUT/annotating.png"
echo "demo: selected $L,$T-$R,$B, drew a rectangle, an arrow and a text: $OUT/annotating.png"

btn 3270           # copy and close
sleep 0.5
xclip -selection clipboard -t image/png -o > "$OUT/capture.png"
echo "demo: copied; the clipboard's image/png is in $OUT/capture.png ($(identify -format '%wx%h' "$OUT/capture.png"))"
kill "$PID" 2>/dev/null || true
wait "$PID" 2>/dev/null || true
