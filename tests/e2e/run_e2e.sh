#!/usr/bin/env bash
# End-to-end: the installed program in a real X server (Xvfb), driven with real X input
# (xdotool): start, open a sample through the file dialog, evaluate, zoom with a rubber band and
# a double click, save a PNG through the save dialog, close, quit. Checks the saved picture and
# keeps screenshots of every step.
#
#   run_e2e.sh BUILD_DIR SOURCE_DIR      (exit 77: skipped, the tools are missing)
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
for tool in xvfb-run xdotool import identify convert; do
    if ! command -v "$tool" > /dev/null; then
        echo "SKIPPED: $tool is not installed (./test.sh installs it)"
        exit 77
    fi
done
# The program must use the X server, whatever the test runner asked of Qt.
unset QT_QPA_PLATFORM
out="$build/e2e"
rm -rf "$out"
mkdir -p "$out"
prefix="$out/install"
cmake --install "$build" --prefix "$prefix" > /dev/null || exit 1
program="$prefix/bin/kwsekunde"
saved="$out/saved-graph.png"

cat > "$out/drive.sh" <<DRIVE
set -u
fail() { echo "FAILED: \$*"; import -window root "$out/failure.png"; exit 1; }
# Waiting for a window, but not for ever.
wait_window() { timeout 30 xdotool search --sync --name "\$1" | head -1; }
cd "$out"
HOME="$out/home" XDG_CONFIG_HOME="$out/config" "$program" > "$out/program.log" 2>&1 &
pid=\$!
main=\$(wait_window "Calora Control Dateiauswerter")
[ -n "\$main" ] || fail "no main dialog"
# The caption is the program's text alone, nothing appended by the platform.
caption=\$(xdotool getwindowname "\$main")
[ "\$caption" = "Calora Control Dateiauswerter - Sekundentakt" ] || fail "caption '\$caption'"
sleep 1
import -window root "$out/01-main.png"
click() {  # window, x fraction, y fraction (in thousandths)
    eval \$(xdotool getwindowgeometry --shell "\$1")
    xdotool mousemove --sync \$((X + WIDTH * \$2 / 1000)) \$((Y + HEIGHT * \$3 / 1000)) click "\${4:-1}"
}
# "Datei...": the file dialog takes the typed path.
click "\$main" 668 117
dialog=\$(wait_window "^Open|Öffnen")
[ -n "\$dialog" ] || fail "no file dialog"
sleep 1
import -window root "$out/02-file-dialog.png"
xdotool windowfocus --sync "\$dialog"
xdotool type --delay 5 "$source/examples/six-curve-sample.txt"
xdotool key Return
sleep 1
import -window root "$out/03-opened.png"
# "Auswertung": the result dialog appears with the curves.
click "\$main" 884 117
result=\$(wait_window "Auswertung des Tages")
[ -n "\$result" ] || fail "no result dialog"
sleep 2
import -window root "$out/04-result.png"
# Zoom: drag a rubber band over the plot, double-click inside it.
eval \$(xdotool getwindowgeometry --shell "\$result")
x0=\$((X + WIDTH * 40 / 100)); y0=\$((Y + HEIGHT * 62 / 100))
x1=\$((X + WIDTH * 70 / 100)); y1=\$((Y + HEIGHT * 85 / 100))
xdotool mousemove --sync \$x0 \$y0 mousedown 1
for step in 1 2 3 4 5; do xdotool mousemove --sync \$((x0 + (x1 - x0) * step / 5)) \$((y0 + (y1 - y0) * step / 5)); done
xdotool mouseup 1
sleep 0.5
import -window root "$out/05-rubber-band.png"
xdotool mousemove --sync \$(((x0 + x1) / 2)) \$(((y0 + y1) / 2)) click --repeat 2 --delay 80 1
sleep 1
import -window root "$out/06-zoomed.png"
# "Speichern" with Ctrl+S: the save dialog takes the typed path.
xdotool windowfocus --sync "\$result"
xdotool key ctrl+s
save=\$(wait_window "^Save|Speichern")
[ -n "\$save" ] || fail "no save dialog"
sleep 1
import -window root "$out/07-save-dialog.png"
xdotool windowfocus --sync "\$save"
xdotool key ctrl+a
xdotool type --delay 5 "$saved"
xdotool key Return
for i in \$(seq 1 50); do [ -s "$saved" ] && break; sleep 0.2; done
[ -s "$saved" ] || fail "nothing saved"
# Close the result dialog, then quit from the main dialog.
xdotool windowfocus --sync "\$result"
xdotool key Escape
sleep 1
import -window root "$out/08-back.png"
main=\$(xdotool search --name "Calora Control Dateiauswerter" | head -1)
xdotool windowfocus --sync "\$main"
xdotool key Escape
for i in \$(seq 1 50); do kill -0 \$pid 2> /dev/null || break; sleep 0.2; done
kill -0 \$pid 2> /dev/null && fail "the program did not quit"
exit 0
DRIVE

xvfb-run -a -s "-screen 0 1280x1024x24" bash "$out/drive.sh" || { cat "$out/program.log"; exit 1; }

size=$(identify -format '%w x %h' "$saved")
[ "$size" = "1280 x 1024" ] || { echo "FAILED: saved picture is $size"; exit 1; }
colours=$(convert "$saved" -format %k info:)
[ "$colours" -gt 20 ] || { echo "FAILED: saved picture nearly blank ($colours colours)"; exit 1; }
# The curve colours: storage (0,188,255), hot water pump (255,0,255), circulation (255,0,0).
for colour in "0,188,255" "255,0,255" "255,0,0"; do
    n=$(convert "$saved" -fill black +opaque "rgb($colour)" -fill white -opaque "rgb($colour)" -format "%[fx:mean*w*h]" info:)
    [ "${n%.*}" -gt 20 ] || { echo "FAILED: colour $colour missing from the saved picture"; exit 1; }
done
# Drawn at its own size, not a stretched screen capture: few pixel columns repeat their left
# neighbour (a capture stretched to 1280 x 1024 repeats about every second one; a picture
# drawn at its size repeats where flat curves and dashed grid rows meet a ruler without text,
# some 15-20 % with time labels at round five minutes).
repeated=$(/usr/bin/python3 - "$saved" <<'PY'
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert("RGB")
w, h = image.size
columns = [image.crop((x, 0, x + 1, h)).tobytes() for x in range(w)]
print(sum(columns[x] == columns[x - 1] for x in range(1, w)) * 100 // (w - 1))
PY
)
[ -n "$repeated" ] && [ "$repeated" -lt 30 ] || { echo "FAILED: $repeated % of the saved picture's columns repeat"; exit 1; }
echo "end-to-end run passed; screenshots in $out"
