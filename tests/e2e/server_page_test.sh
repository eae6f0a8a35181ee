#!/usr/bin/env bash
# The list on the web and the replays behind it: headless Chromium loads the page from the
# running server, and the rendered table holds every name as text, markup, ampersands and quotes
# included, read as the Latin-1 that the game types, control characters shown as escapes, and
# a tick linking the replay of each entry it proves; scores.json holds as many. With
# --verified-only the entries replays prove are listed alone. Replays served back, forged
# replays, bodies too long or without a length: ScoreServerTest (in process).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
browser=/usr/bin/chromium
[ -x "$browser" ] || { echo "FAIL: needs Debian's chromium (tools/install-deps.sh)" >&2; exit 1; }
e2e_setup server-page
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
replays="$ORBELLE_SOURCE_DIR/tests/replays"
e2e_start_server --db "$db" --quiet --page-size 6 && port=$e2e_server_port

# Names in hex, best first: "<script>x", "Tom & 'Jo'", '"q" &amp;', "J\xfcrgen \x1b\xff"
# (Latin-1, with Escape), "Ann"; then the replays' "script" 410 and 226, one more than the
# page holds.
names=(3c7363726970743e78 546f6d202620274a6f27 2271222026616d703b 4afc7267656e201bff 416e6e)
for k in "${!names[@]}"; do
    [ "$(e2e_upload "$port" 127.0.0.1 $((900 - 100 * k)) "${names[k]}")" = 200 ] ||
        e2e_fail "upload of ${names[k]} was refused"
done
for replay in round-3 round-0; do
    answer=$(e2e_http "$port" /replays -H 'Content-Type: application/octet-stream' --data-binary "@$replays/$replay.orbr")
    [ "${answer%% *}" = 200 ] || e2e_fail "$replay was answered $answer"
done
json=$(e2e_http "$port" /scores.json)
pattern='"verified":false\},\{"rank":6,"name":"script","score":410,"verified":true,"replay":"(/replays/[0-9]+)"\}\]$'
[[ "$json" =~ $pattern ]] && [ "$(grep -o '"verified":false' <<<"$json" | wc -l)" = 5 ] || e2e_fail "scores.json: $json"
proof=${BASH_REMATCH[1]}

# Worked out by hand from the Latin-1 table.
expected=$'1\t<script>x\t900\t\n2\tTom & \'Jo\'\t800\t\n3\t"q" &amp;\t700\t\n4\tJürgen \\x1bÿ\t600\t\n5\tAnn\t500\t\n6\tscript\t410\t✓'
# The browser, fresh and quiet, as root needs it.
chrome() {
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d "$e2e_work/chrome-XXXXXX")" "$@" 2>>"$e2e_work/chrome.err"
}
chrome --dump-dom "http://127.0.0.1:$port/" >"$e2e_work/dom.html" ||
    e2e_fail "chromium failed: $(tail -n 5 "$e2e_work/chrome.err")"
grep -qF "<a href=\"$proof\"" "$e2e_work/dom.html" || e2e_fail "the tick does not link $proof"
rows=$(python3 -c 'import html, re, sys
dom = open(sys.argv[1], encoding="utf-8").read()
assert "<script" not in dom, "a name became a script element"
for row in re.findall(r"<tr>(.*?)</tr>", dom, re.S):
    cells = [html.unescape(re.sub(r"<[^>]*>", "", c)) for c in re.findall(r"<td>(.*?)</td>", row, re.S)]
    if cells:
        print("\t".join(cells))' "$e2e_work/dom.html") || e2e_fail "the rendered page: $rows"
[ "$rows" = "$expected" ] || e2e_fail "the rendered table is wrong:"$'\n'"$rows"
shot="$e2e_work/page.png" # as a phone would show it
chrome --screenshot="$shot" --window-size=412,640 --hide-scrollbars "http://127.0.0.1:$port/" ||
    e2e_fail "chromium took no screenshot: $(tail -n 5 "$e2e_work/chrome.err")"
e2e_not_flat "$shot" >/dev/null
e2e_stop_server

e2e_start_server --db "$db" --quiet --verified-only && port=$e2e_server_port
[ "$(e2e_rank_lines "$port" | head -n 3)" = $'200 script 410\n200 script 226\n200 ' ] ||
    e2e_fail "--verified-only ranks: $(e2e_rank_lines "$port")"
e2e_http "$port" / -H 'Accept: text/html' >/dev/null
! grep -q '<td>Ann</td>' "$e2e_work/body" && [[ "$(e2e_http "$port" /scores.json)" != *'"Ann"'* ]] ||
    e2e_fail "--verified-only shows the score of a signed upload alone"
e2e_stop_server
echo "PASS: the page shows the six best as text, the verified one ticked; replays kept and" \
    "alone listed with --verified-only"
