#!/usr/bin/env bash
# The list on the web: headless Chromium loads the page from the running server, and the
# rendered table holds every name as text, markup, ampersands and quotes included, read as the
# Latin-1 that the game types, control characters shown as escapes. E2E_SCREENSHOT=FILE keeps the page as a phone would show it.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
browser=/usr/bin/chromium
[ -x "$browser" ] || { echo "FAIL: needs Debian's chromium (tools/install-deps.sh)" >&2; exit 1; }
e2e_setup server-page
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet --page-size 4
port=$e2e_server_port

# Names in hex, best first: "<script>x", "Tom & 'Jo'", '"q" &amp;', "J\xfcrgen \x1b\xff"
# (Latin-1, with Escape), "Ann", one more than the page holds.
names=(3c7363726970743e78 546f6d202620274a6f27 2271222026616d703b 4afc7267656e201bff 416e6e)
for k in "${!names[@]}"; do
    [ "$(e2e_upload "$port" 127.0.0.1 $((900 - 100 * k)) "${names[k]}")" = 200 ] ||
        e2e_fail "upload of ${names[k]} was refused"
done
# Worked out by hand from the Latin-1 table; no entry is proven by a replay.
expected=$'1\t<script>x\t900\t\n2\tTom & \'Jo\'\t800\t\n3\t"q" &amp;\t700\t\n4\tJürgen \\x1bÿ\t600\t'
# The browser, fresh and quiet, as root needs it.
chrome() {
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d "$e2e_work/chrome-XXXXXX")" "$@" 2>>"$e2e_work/chrome.err"
}
chrome --dump-dom "http://127.0.0.1:$port/" >"$e2e_work/dom.html" ||
    e2e_fail "chromium failed: $(tail -n 5 "$e2e_work/chrome.err")"
rows=$(python3 -c 'import html, re, sys
dom = open(sys.argv[1], encoding="utf-8").read()
assert "<script" not in dom, "a name became a script element"
for row in re.findall(r"<tr>(.*?)</tr>", dom, re.S):
    cells = [html.unescape(c) for c in re.findall(r"<td>(.*?)</td>", row, re.S)]
    if cells:
        print("\t".join(cells))' "$e2e_work/dom.html") || e2e_fail "the rendered page: $rows"
[ "$rows" = "$expected" ] || e2e_fail "the rendered table is wrong:"$'\n'"$rows"
shot="${E2E_SCREENSHOT:-$e2e_work/page.png}"
chrome --screenshot="$shot" --window-size=412,640 --hide-scrollbars "http://127.0.0.1:$port/" ||
    e2e_fail "chromium took no screenshot: $(tail -n 5 "$e2e_work/chrome.err")"
e2e_not_flat "$shot" >/dev/null
echo "PASS: the page shows the four best as text"
