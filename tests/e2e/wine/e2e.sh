#!/usr/bin/env bash
# The Windows program end to end under Wine, on a private Xvfb with a known
# picture on its root window, driven with xdotool and read back with xclip:
#   tests/e2e/wine/e2e.sh TOLVANE_EXE WORK_FOLDER
# WORK_FOLDER is made anew: the Wine prefix, the home and every file written.
# Every wait polls for what it needs; the short pauses between pointer moves
# keep Wine from merging them.
set -uo pipefail
# Under pipefail a `grep -q` that stops reading early can fail the pipe (its
# writer dies of SIGPIPE), so matches are read to the end instead.
exe=$(realpath "$1")
work=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
rm -rf "$work"
mkdir -p "$work/home" "$work/out"
export HOME="$work/home" WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads arguments and Unix paths in the locale's character set.
export LC_ALL=C.UTF-8
W=800 H=600
xvfb="" shower="" keeper="" bus=""
passed=0 failed=0

stop() {
  if [ -n "$keeper" ]; then kill "$keeper" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  if [ -n "$shower" ]; then kill "$shower" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  if [ -n "$bus" ]; then kill "$bus" 2>/dev/null || true; fi
}
trap stop EXIT
trap "exit 1" TERM INT  # so a timeout still stops what was started

# Polls `$@` every 50 ms for up to 20 s of wall time (a screen read takes a
# good part of that, so counting tries would wait far longer).
until_true() {
  local end=$(($(date +%s) + 20))
  while [ "$(date +%s)" -lt "$end" ]; do "$@" && return 0; sleep 0.05; done
  "$@"
}
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); echo "FAIL $1"; fi
}
pixel() { convert x:root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}'; }
source_pixel() { convert "$work/root.png" -crop "1x1+$1+$2" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'; }
capture_window() { xdotool search --onlyvisible --name '^Tolvane$' >/dev/null 2>&1; }
no_capture_window() { ! capture_window; }
gone() { ! kill -0 "$1" 2>/dev/null; }
same_pixels() {  # same_pixels FILE WxH+X+Y: the file holds exactly the root picture's area
  # ImageMagick's policy here refuses /dev/fd paths, so the expected area goes to a file.
  [ -s "$1" ] && convert "$work/root.png" -crop "$2" +repage "$work/expected.png" &&
    [ "$(compare -metric AE "$1" "$work/expected.png" null: 2>&1)" = 0 ]
}
winpath() { winepath -w "$1" 2>/dev/null; }
centred() {  # centred X Y WIDTH HEIGHT: an X window in the middle of the one monitor
  # Within 24 px: Wine's X window leaves out the frame and title bar it draws itself.
  local dx=$(($1 + $3 / 2 - W / 2)) dy=$(($2 + $4 / 2 - H / 2))
  [ "${dx#-}" -le 24 ] && [ "${dy#-}" -le 24 ]
}

start() {  # start ARGS...: the program, its window shown
  wine "$exe" "$@" >"$work/stdout" 2>"$work/stderr" &
  pid=$!
  until_true capture_window
}
drag() {  # drag X1 Y1 X2 Y2
  xdotool mousemove "$1" "$2" && sleep 0.05 && xdotool mousedown 1 && sleep 0.05
  xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) && sleep 0.05
  xdotool mousemove "$3" "$4" && sleep 0.05 && xdotool mouseup 1
}

# The checks of Windows paths and of where the dialogs open.
source "$here/paths_and_dialogs.sh"

# --- set-up: the X server, its picture, a fresh prefix that shows Chinese ---
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 ${W}x${H}x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
until_true test -s "$work/display" || { echo "no Xvfb"; exit 1; }
export DISPLAY=":$(cat "$work/display")"
# A session bus of the run's own with no services to start: nothing Wine
# starts reaches the desktop's bus or auto-launches one that outlives the run.
cat >"$work/bus.conf" <<'CONF'
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile --print-address=5 5>"$work/bus" 2>/dev/null &
bus=$!
until_true test -s "$work/bus" || { echo "no session bus"; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
t0=$(date +%s%N)
wineboot -i 2>/dev/null
wineserver -w
# One server for the run; Wine's desktop process keeps serving the clipboard
# after the program ends, as Windows itself would.
wineserver -p </dev/null >/dev/null 2>&1
wine regedit /S "$(winpath "$here/fontlink.reg")" 2>/dev/null
# Wine's desktop process (explorer.exe) clears the root to black when it
# starts, and it ends about a second after the last program on the desktop
# does, to start again with the next one. A console program waiting on a pipe
# that nobody writes holds the desktop for the whole run.
mkfifo "$work/hold"
wine cmd /c pause <"$work/hold" >/dev/null 2>&1 &
keeper=$!
exec 4>"$work/hold"
desktop_up() {  # this prefix's explorer.exe runs
  local p
  for p in $(pgrep -f 'explorer\.exe'); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX" >/dev/null && return 0
  done
  return 1
}
until_true desktop_up || { echo "Wine's desktop did not start"; exit 1; }
echo "prefix ready in $(( ($(date +%s%N) - t0) / 1000000 )) ms"
# The picture goes on the root window only once the desktop is up.
# Every pixel differs from its neighbours: two crossed gradients.
convert -size ${W}x${H} gradient:'#ff0000-#00ff40' \( -size ${H}x${W} gradient:'#0000ff-#000000' -rotate 90 \) \
  -compose plus -composite -depth 8 "$work/root.png"
display -window root "$work/root.png" &
shower=$!
shown() { [ "$(pixel 5 7)" = "$(source_pixel 5 7)" ]; }
until_true shown || { echo "the picture does not show on the root window"; exit 1; }

# --- Windows paths: either slash separates, a missing folder is refused ---
path_checks

# --- start, veil, a second instance, Esc ---
t0=$(date +%s%N)
start
veiled() { local p; p=$(pixel 10 10); [ "$p" != "$(source_pixel 10 10)" ] && [ "$p" != "#000000" ]; }
check "the screen shows under the veil" until_true veiled
echo "start to veil: $(( ($(date +%s%N) - t0) / 1000000 )) ms"
wine "$exe" >/dev/null 2>&1 &
second=$!
check "a second start ends at once" until_true gone $second
wait $second
check "and with status 0" test $? -eq 0
xdotool key Escape
check "Esc ends the capture" until_true gone $pid
wait $pid
check "with status 0" test $? -eq 0

# --- drag, move, copy ---
start
# Input sent before the first paint can be lost while Wine maps the window.
until_true veiled
drag 100 100 300 300
inside() { [ "$(pixel 150 150)" = "$(source_pixel 150 150)" ] && veiled; }
check "the dragged region shows undimmed" until_true inside
inside || import -window root "$work/out/after-drag.png"
drag 150 150 200 180  # a drag inside moves it by (50, 30)
moved() { [ "$(pixel 120 110)" != "$(source_pixel 120 110)" ] && [ "$(pixel 320 320)" = "$(source_pixel 320 320)" ]; }
check "a drag inside moves the region" until_true moved
t0=$(date +%s%N)
xdotool key Return
has_png() { xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -x image/png >/dev/null; }
check "Enter puts a PNG on the clipboard" until_true has_png
echo "copy to image/png offered: $(( ($(date +%s%N) - t0) / 1000000 )) ms"
xclip -selection clipboard -t image/png -o >"$work/out/clip.png" 2>/dev/null
check "the clipboard holds exactly the moved region" same_pixels "$work/out/clip.png" 200x200+150+130
check "the capture ends after copying" until_true gone $pid

# --- resize, rectangle, undo and text: each run copies, and the copy is read back ---
# An earlier copy stays on the clipboard (Wine's desktop process serves it), so
# each run below frames a region of a size of its own and waits for that size.
clip_of() {  # clip_of WxH FILE: the clipboard's image/png, once it is WxH
  xclip -selection clipboard -t image/png -o >"$2" 2>/dev/null &&
    [ "$(identify -format '%wx%h' "$2" 2>/dev/null)" = "$1" ]
}
copy_to() {  # copy_to WxH FILE: Enter copies and closes; the copy is read into FILE
  xdotool key Return
  until_true clip_of "$1" "$2" && until_true gone $pid
}
same_as() { [ -s "$1" ] && [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
click() { xdotool mousemove "$1" "$2" && sleep 0.05 && xdotool click 1 && sleep 0.05; }
is_color() { [ "$(pixel "$1" "$2")" = "$3" ]; }
is_source() { [ "$(pixel "$1" "$2")" = "$(source_pixel "$1" "$2")" ]; }
# A toolbar button's centre, for the region's right and bottom edges: the
# toolbar's right edge is the region's and its top 4 px below it; the buttons
# are 16 px squares 5 px from its top; places in fifteenths of a pixel, as the
# layout gives them (toolbar 3620 wide; buttons at 100 rectangle, 860 text,
# 1700 undo).
button() {  # button LEFT RIGHT BOTTOM
  echo $(( ($2 * 15 - 3620 + $1 + 120) / 15 )) $(( $3 + 4 + 5 + 8 ))
}
rect_tool() { click $(button 100 "$1" "$2"); }
text_tool() { click $(button 860 "$1" "$2"); }
undo_button() { click $(button 1700 "$1" "$2"); }

# The bottom-right handle is a 4 px square centred on the region's corner;
# dragged, the corner follows the pointer.
start --region 200x150+100+100
until_true veiled && until_true is_source 150 150
drag 300 250 360 290
check "the bottom-right handle resizes the region" until_true is_source 350 280
copy_to 260x190 "$work/out/resized.png"
check "the copy is exactly the resized region" same_pixels "$work/out/resized.png" 260x190+100+100

# A rectangle in the default colour, red: a one-pixel outline through both
# corners of the drag, the rest of the region untouched. Strokes start below
# the size and colour labels in the region's top-left corner: a press on a
# label is the label's.
start --region 300x200+150+120
until_true veiled && until_true is_source 200 200
rect_tool 450 320
drag 200 180 300 280
check "the rectangle tool draws a red outline" until_true is_color 250 180 '#FF0000'
copy_to 300x200 "$work/out/rectangle.png"
convert "$work/root.png" -crop 300x200+150+120 +repage +antialias -fill none -stroke red -strokewidth 1 \
  -draw "rectangle 50,60 150,160" "$work/expected-rectangle.png"
check "the copy is the region with the outline, pixel for pixel" \
  same_as "$work/out/rectangle.png" "$work/expected-rectangle.png"

# Two rectangles; Ctrl+Z takes the second off, the toolbar's undo the first.
start --region 320x200+150+120
until_true veiled && until_true is_source 200 200
rect_tool 470 320
drag 200 180 300 280
drag 220 200 280 260
check "two rectangles show" until_true is_color 250 200 '#FF0000'
xdotool key ctrl+z
second_undone() { is_source 250 200 && is_color 250 180 '#FF0000'; }
check "Ctrl+Z takes the last one off" until_true second_undone
undo_button 470 320
check "the toolbar's undo takes the first off" until_true is_source 250 180
copy_to 320x200 "$work/out/undone.png"
check "the copy after undo is the plain region" same_pixels "$work/out/undone.png" 320x200+150+120

# Text: three boxes, each opened by a click in the region, typed into, and
# drawn into the picture by the next click: "Tolvane", then the same with a
# Chinese character after it, then another alone. The Chinese glyphs are
# told from empty boxes or question marks by their shapes: 一 is one flat
# stroke, 中 is tall.
start --region 360x170+100+100
until_true veiled && until_true is_source 200 200
text_tool 460 270
box_open() { is_color 112 "$1" '#FFFFFF'; }  # an open box is white, unlike the picture
box_closed() { ! box_open "$1"; }
texts=("Tolvane" "Tolvane 一" "中")
for k in 0 1 2; do
  y=$((150 + 35 * k))
  click 110 "$y"
  check "a click opens a text box (${texts[k]})" until_true box_open $((y + 4))
  # A character missing from the keyboard map is typed on a spare key that
  # xdotool maps for it and maps back at once; Wine reads the map while it
  # handles the key, and at 40 ms a key it lost the Chinese ones now and then.
  xdotool type --delay 200 "${texts[k]}"
  click 440 255
  check "the next click closes it" until_true box_closed $((y + 4))
done
copy_to 360x170 "$work/out/text.png"
convert "$work/root.png" -crop 360x170+100+100 +repage "$work/expected-text.png"
# White where the copy differs from the screen.
compare "$work/out/text.png" "$work/expected-text.png" -compose src -highlight-color white \
  -lowlight-color black "$work/ink.png" 2>/dev/null
# In the area WxH+X+Y: how many pixels changed, and the box that holds them.
ink() { convert "$work/ink.png" -crop "$1" +repage -format '%[fx:round(mean*w*h)]' info:; }
ink_box() { convert "$work/ink.png" -crop "$1" +repage -format '%@' info: 2>/dev/null; }
red() {  # how many pixels in the area are exactly red
  convert "$work/out/text.png" -crop "$1" +repage -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' \
    -format '%[fx:round(mean*w*h)]' info:
}
# Text k is drawn from its box's top-left corner, (10, 50 + 35 k) in the
# region, within a pixel left and above it and its line height (24 px at 11
# points) and a pixel below it.
line_of() { echo "350x27+9+$((49 + 35 * $1))"; }
only_in_lines() {
  local a b c
  a=$(ink "$(line_of 0)") b=$(ink "$(line_of 1)") c=$(ink "$(line_of 2)")
  echo "changed pixels: $a, $b, $c in the three lines, $(ink 360x170+0+0) in all"
  [ "$a" -gt 0 ] && [ "$b" -gt "$a" ] && [ "$c" -gt 0 ] && [ "$(ink 360x170+0+0)" -eq $((a + b + c)) ]
}
check "the copy differs from the screen only in the three texts' lines" only_in_lines
check "the text is red" test "$(red "$(line_of 0)")" -gt 0
# 一 lies right of where "Tolvane" ends in the first line.
IFS='x+' read -r w0 _ x0 _ <<<"$(ink_box "$(line_of 0)")"
after=$((9 + x0 + w0 + 1))
IFS='x+' read -r w1 h1 _ _ <<<"$(ink_box "$((359 - after))x27+$after+$((49 + 35))")"
echo "一: ${w1}x${h1} px"
check "一 after Latin text is drawn as one flat stroke" test "$h1" -le 4 -a "$w1" -ge 8
IFS='x+' read -r w2 h2 _ _ <<<"$(ink_box "$(line_of 2)")"
echo "中: ${w2}x${h2} px"
check "中 is drawn as a tall glyph" test "$h2" -ge 10 -a "$w2" -ge 8

# --- saving to a file named on the command line, by a double click ---
for ext in png bmp tif jpg gif; do
  file="$work/out/shot.$ext"
  start -p "$(winpath "$file")" --region 120x80+40+60
  xdotool mousemove 90 100 && sleep 0.05 && xdotool click --repeat 2 --delay 80 1
  written() { [ -s "$file" ]; }
  check "$ext: a double click writes the file" until_true written
  until_true gone $pid
  case $ext in
    png|bmp|tif) check "$ext: exactly the region" same_pixels "$file" 120x80+40+60 ;;
    *) check "$ext: a valid 120x80 picture" test "$(identify -format '%wx%h' "$file" 2>/dev/null)" = 120x80 ;;
  esac
done

# --- a Chinese folder and file name written as such; the save dialog centred ---
chinese_name_and_dialog_checks

# --- a file that cannot be written: the error box ---
start -p "$(winpath /proc/tolvane-e2e.png)" --region 120x80+40+60
xdotool mousemove 90 100 && sleep 0.05 && xdotool click --repeat 2 --delay 80 1
error_box() { xdotool search --onlyvisible --name '^错误$' >/dev/null 2>&1; }
check "an unwritable file brings up the 错误 box" until_true error_box
# With no window manager the box has no keyboard focus until it is clicked,
# and after it closes the capture window needs a click again for keys.
box=$(xdotool search --onlyvisible --name '^错误$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$box")"
check "the error box is centred on the monitor" centred "$X" "$Y" "$WIDTH" "$HEIGHT"
xdotool mousemove $((X + 20)) $((Y + 20)) && sleep 0.05 && xdotool click 1 && sleep 0.05 && xdotool key Return
no_error_box() { ! error_box; }
check "Enter closes the box" until_true no_error_box
xdotool mousemove 90 100 && sleep 0.05 && xdotool click 1 && sleep 0.05 && xdotool key Escape
check "the capture goes on and ends with Esc" until_true gone $pid

# --- the toolbar's icons and the size list ---
# The region 300x200+200+150 puts the toolbar (241x26) 4 pixels below it,
# right-aligned: its left at 258.7, its top at 354. The rectangle button
# lies at (265, 359), the text button at (316, 359), both 16x16; the text
# tool's style panel opens 3 pixels below the toolbar, with the size
# chooser (50x22) at (284, 391) and the size box in it at (288, 395).
start --region 300x200+200+150
until_true veiled
has_ink() { convert x:root -crop 16x16+265+359 -depth 8 txt:- 2>/dev/null | grep '#333D4A' >/dev/null; }
check "a toolbar button shows its icon" until_true has_ink
# Resting on the rectangle button brings its tooltip up just below the
# pointer; moving off the toolbar takes it away.
tip() {  # a window of the program's own, neither the capture nor a list, just below the pointer
  xdotool search --onlyvisible --class tolvane.exe 2>/dev/null | while read -r w; do
    [ "$(xdotool getwindowname "$w")" = Tolvane ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$X" -ge 263 ] && [ "$X" -le 300 ] && [ "$Y" -ge 367 ] && [ "$Y" -le 400 ] && echo "$w"
  done | head -1
}
tip_shown() { [ -n "$(tip)" ]; }
tip_gone() { [ -z "$(tip)" ]; }
xdotool mousemove 270 365 && sleep 0.05 && xdotool mousemove 273 367
check "resting on a button brings up its tooltip below the pointer" until_true tip_shown
import -window root "$work/out/tooltip.png"  # to look at: 添加矩形 in real glyphs
xdotool mousemove 300 250
check "moving off the button takes the tooltip away" until_true tip_gone
xdotool mousemove 324 367 && sleep 0.05 && xdotool click 1
size_box() { convert x:root -crop 20x12+289+396 +repage "$work/$1.png"; }
size_shown() { [ "$(convert x:root -crop 20x12+289+396 -format '%[fx:minima<0.5]' info: 2>/dev/null)" = 1 ]; }
check "the text tool shows the size box with its size" until_true size_shown
size_box size-11
list() {  # the drop-down list's window, when one shows (a tooltip is one line high)
  xdotool search --onlyvisible --class tolvane.exe 2>/dev/null | while read -r w; do
    [ "$(xdotool getwindowname "$w")" = Tolvane ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$HEIGHT" -gt 40 ] && echo "$w"
  done | head -1
}
list_shown() { [ -n "$(list)" ]; }
list_gone() { [ -z "$(list)" ]; }
# The list is a window of its own visual, which x:root reads as black; import
# reads each window as it is.
list_pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}'; }
row() {  # row N: a point at the right end of the list's item N (0 to 8)
  echo $((X + WIDTH - 6)) $((Y + 1 + (HEIGHT - 2) * (2 * $1 + 1) / 18))
}
xdotool mousemove 325 402 && sleep 0.05 && xdotool click 1
check "a click on the chooser drops its list down" until_true list_shown
eval "$(xdotool getwindowgeometry --shell "$(list)")"
# "11", the size now, shows highlighted once the list is drawn.
painted() { highlight=$(list_pixel $(row 4)) && [ "$highlight" != "$(list_pixel $(row 3))" ]; }
until_true painted
xdotool mousemove $(row 6) && sleep 0.05 && xdotool click 1  # "14"
check "a click on an item closes the list" until_true list_gone
size_changed() { size_box size-14 && [ "$(compare -metric AE "$work/size-11.png" "$work/size-14.png" null: 2>&1)" != 0 ]; }
check "the chosen size shows in the size box" until_true size_changed
xdotool mousemove 325 402 && sleep 0.05 && xdotool click 1
until_true list_shown
chosen() { [ "$(list_pixel $(row 6))" = "$highlight" ] && [ "$(list_pixel $(row 4))" != "$highlight" ]; }
check "the list opens again on the chosen size" until_true chosen
xdotool key Down && sleep 0.05 && xdotool key Escape
check "Esc closes the open list only" until_true list_gone
size_box size-after-esc
check "the size stays" test "$(compare -metric AE "$work/size-14.png" "$work/size-after-esc.png" null: 2>&1)" = 0
# Had Esc reached the capture, it would have ended: a click opens the list again.
# A few pixels from the last click, so that it is not taken for a double click.
xdotool mousemove 329 402 && sleep 0.05 && xdotool click 1
check "the capture goes on" until_true list_shown
xdotool key Escape
until_true list_gone
xdotool key Escape
check "the next Esc ends the capture" until_true gone $pid

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
