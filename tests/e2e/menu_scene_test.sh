#!/usr/bin/env bash
# The built game on a virtual X display draws a moving menu scene, writes config.txt with the
# defaults and leaves with status 0 on SIGTERM.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_setup menu
e2e_start_display
e2e_start_game
e2e_wait_frames 20 30
e2e_shot "$e2e_work/scene1.png"
e2e_wait_frames 10 30
e2e_shot "$e2e_work/scene2.png"
spread=$(e2e_spread "$e2e_work/scene1.png")
awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' || e2e_fail "the scene looks blank ($spread)"
# compare exits 1 when the pictures differ, which is what we hope for.
changed=$(compare -metric AE "$e2e_work/scene1.png" "$e2e_work/scene2.png" null: 2>&1 || true)
[[ "$changed" =~ ^[0-9]+$ ]] && [ "$changed" -gt 50 ] || e2e_fail "the scene did not move: $changed"
printf '800\n600\n32\n1\n1\n1' | cmp -s - "$e2e_run/config.txt" || e2e_fail "config.txt is not the default"
kill -TERM "$e2e_game_pid"
e2e_wait_exit 15
[ "$e2e_status" = 0 ] || e2e_fail "status $e2e_status after SIGTERM"
echo "PASS: menu scene drawn and moving ($changed pixels changed, deviation $spread)"
