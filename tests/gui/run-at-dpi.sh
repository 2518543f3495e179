#!/usr/bin/env bash
# Runs a test program under Wine with the display set to DPI dots per inch (the
# prefix's LogPixels), and sets 96 again afterwards whatever happens.
# Usage: run-at-dpi.sh DPI PROGRAM [ARGUMENTS...]   (WINEPREFIX and DISPLAY set)
set -u
dpi=$1
shift
key='HKCU\Control Panel\Desktop'
restore() { wine reg add "$key" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1; }
trap restore EXIT
wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || exit 1
VELLUM_EXPECT_DPI=$dpi wine "$@"
