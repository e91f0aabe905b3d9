# Where the player's windows sit, for the scripts that find them on screen.
# shellcheck shell=bash disable=SC2034  # what it sets is for the sourcing script
#
# A colour-keyed window of the player is an X window over only what shows
# of its 540x200 client area (a piece that shows apart, the hint bubble, is
# an X window of its own). By the X window's size at scale 1: NAME WIDTH
# HEIGHT LEFT TOP, the X window's place in the client area.
readonly WINDOW_BOXES="strip 506 36 17 97
menu 166 57 7 11
probe 100 100 100 50
whole 540 200 0 0"
readonly STRIP_BOX="506 36 17 97" # the idle strip and its glow

# "X Y" of window ID's top-left on the root.
x_window_origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

# "X Y" of the client area of window ID on the root, from the box its X
# window covers; "unknown box WxH" and false when it covers none.
client_origin() { xwininfo -id "$1" | box_origin; }

# The same from xwininfo's text on stdin.
box_origin() {
    awk -v boxes="$WINDOW_BOXES" '
        /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF}
        END {
            n = split(boxes, line, "\n")
            for (i = 1; i <= n; i++) {
                split(line[i], f, " ")
                if (f[2] == w && f[3] == h) { print x - f[4], y - f[5]; exit }
                # sway makes a floating window at least 50 high, growing it downwards
                if (f[2] == w && f[3] < h && f[3] > best) { best = f[3]; bx = f[4]; by = f[5] }
            }
            if (best) { print x - bx, y - by; exit }
            print "unknown box " w "x" h
            exit 1
        }'
}
