# Sourced by e2e.sh, whose helpers these use: the checks of Windows paths
# and of where the dialogs open.

path_checks() {  # no window needed
  timeout 30 wine "$exe" -p 'C:\missing\x.png' >"$work/stdout" 2>"$work/stderr"
  check "-p into a missing folder with backslashes exits 2" test $? -eq 2
  names_folder() { grep -F "no such folder 'C:\missing' for 'C:\missing\x.png'" "$work/stderr" >/dev/null; }
  check "and names the folder" names_folder
  check "with no capture shown" no_capture_window
}

chinese_name_and_dialog_checks() {
  # --- a Chinese folder and file name, written as such ---
  mkdir -p "$work/out/截图"
  file="$work/out/截图/截图.png"
  start -p "$(winpath "$work/out/截图")\\截图.png" --region 120x80+40+60
  xdotool mousemove 90 100 && sleep 0.05 && xdotool click --repeat 2 --delay 80 1
  written_as_typed() { [ -s "$file" ]; }
  check "a Chinese file name in a Chinese folder is written as typed" until_true written_as_typed
  until_true gone $pid
  check "exactly the region" same_pixels "$file" 120x80+40+60

  # --- the save dialog, centred on the region's monitor ---
  start --region 160x100+600+460
  until_true veiled && until_true is_source 650 500
  xdotool key ctrl+s
  save_dialog() { xdotool search --onlyvisible --name '^Tolvane-保存为$' >/dev/null 2>&1; }
  check "Ctrl+S opens the save dialog" until_true save_dialog
  dialog=$(xdotool search --onlyvisible --name '^Tolvane-保存为$' | head -1)
  if [ -n "$dialog" ]; then
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    echo "save dialog: ${WIDTH}x${HEIGHT}+$X+$Y"
    check "the save dialog is centred on the monitor, not at the region or the corner" \
      centred "$X" "$Y" "$WIDTH" "$HEIGHT"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 4)) && sleep 0.05 && xdotool click 1 && sleep 0.05 && xdotool key Escape
    no_save_dialog() { ! save_dialog; }
    check "Esc cancels the save dialog" until_true no_save_dialog
  fi
  xdotool mousemove 650 500 && sleep 0.05 && xdotool click 1 && sleep 0.05 && xdotool key Escape
  check "and the capture ends with Esc" until_true gone $pid
}
