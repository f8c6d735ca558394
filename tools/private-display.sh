# Sourced by ./test and ./bench: starts a private Xvfb and exports DISPLAY
# for it, so window tests and benchmarks never touch the desktop of whoever
# runs them (the hotkey tests grab keys on the root window). The server and
# its scratch folder go when the calling script exits.
display_tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_tmp/display" \
  2>"$display_tmp/xvfb.log" &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -rf "$display_tmp"' EXIT
for _ in $(seq 1 100); do [ -s "$display_tmp/display" ] && break; sleep 0.1; done
[ -s "$display_tmp/display" ] || { echo "Xvfb did not start:"; cat "$display_tmp/xvfb.log"; exit 1; }
export DISPLAY=":$(cat "$display_tmp/display")"
export QT_QPA_PLATFORM=xcb
