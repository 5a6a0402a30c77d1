#!/bin/sh
# Renders the main window after a check of a local Dovecot mailbox of sample mail to a PNG, and
# beside it start.png (before the check), splash.png, progress.png, options.png (the settings
# button's drop-down panel) and pictures.png (every icon at 16 and 32 pixels). Runs under Xvfb
# when there is no display.
# Usage: scripts/screenshot-main.sh [OUTPUT.png]   (default: BUILD/screenshots/main.png)
# BUILD names the build folder (default: build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
out=${1:-$build/screenshots/main.png}

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target veltrane_ui_screenshot -j 2
mkdir -p "$(dirname "$out")"
tool="$build/tests/ui/veltrane_ui_screenshot"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$tool" "$out"
elif [ -z "${DISPLAY:-}" ]; then
    QT_QPA_PLATFORM=offscreen "$tool" "$out"
else
    "$tool" "$out"
fi
