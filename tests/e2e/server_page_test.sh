#!/usr/bin/env bash
# The list on the web: headless Chromium loads the page from the running server, and the
# rendered table holds every name as text, markup, ampersands, quotes and bytes that are not
# UTF-8 included. The JSON answer holds the same list; the game's probe keeps its short text.
# E2E_SCREENSHOT=FILE keeps the page as a phone would show it.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
. "${ORBELLE_SOURCE_DIR:?}/tests/e2e/lib.sh"
browser=/usr/bin/chromium
[ -x "$browser" ] || { echo "FAIL: needs Debian's chromium (tools/install-deps.sh)" >&2; exit 1; }

e2e_setup server-page
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet --page-size 4
port=$e2e_server_port

# Names in hex, best first: "<script>x", "Tom & 'Jo'", '"q" &amp;', "caf\xe9 \xff" (Latin-1,
# not UTF-8), "Ann", one more than the page holds.
names=(3c7363726970743e78 546f6d202620274a6f27 2271222026616d703b 636166e920ff 416e6e)
scores=(900 800 700 600 500)
for k in "${!names[@]}"; do
    [ "$(python3 "$e2e_clients" upload "$port" 127.0.0.1 "${scores[k]}" "${names[k]}")" = 200 ] ||
        e2e_fail "upload of ${names[k]} was refused"
done
# The same rows, worked out by hand: each byte that is not UTF-8 becomes U+FFFD.
expected=$'1\t<script>x\t900\n2\tTom & \'Jo\'\t800\n3\t"q" &amp;\t700\n4\tcaf\uFFFD \uFFFD\t600'

[ "$(e2e_http "$port" /)" = "200 Orbelle score server" ] || e2e_fail "the plain probe changed"
[ "$(e2e_http "$port" / -H 'Accept: */*')" = "200 Orbelle score server" ] ||
    e2e_fail "the probe with Accept: */* changed"

e2e_http "$port" '/scores.json?limit=4' >"$e2e_work/json"
python3 - "$e2e_work/json" "$expected" <<'PY' || e2e_fail "scores.json: $(cat "$e2e_work/json")"
import json, sys
status, body = open(sys.argv[1], encoding="utf-8").read().split(" ", 1)
rows = ["\t".join(map(str, (e["rank"], e["name"], e["score"]))) for e in json.loads(body)]
assert status == "200" and rows == sys.argv[2].split("\n"), rows
assert all(type(e["score"]) is int for e in json.loads(body))
PY
[ "$(e2e_http "$port" '/scores.json?limit=0' | cut -c1-3)" = 400 ] || e2e_fail "limit=0 was taken"

# The browser, fresh and quiet, as root needs it.
chrome() {
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d "$e2e_work/chrome-XXXXXX")" "$@" 2>>"$e2e_work/chrome.err"
}
chrome --dump-dom "http://127.0.0.1:$port/" >"$e2e_work/dom.html" ||
    e2e_fail "chromium failed: $(tail -n 5 "$e2e_work/chrome.err")"
python3 - "$e2e_work/dom.html" "$expected" <<'PY' || e2e_fail "the rendered table is wrong"
import html.parser, sys

class Table(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.cell, self.tags = [], None, set()
    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        if tag == "tr":
            self.rows.append([])
        elif tag == "td":
            self.cell = ""
    def handle_endtag(self, tag):
        if tag == "td":
            self.rows[-1].append(self.cell)
            self.cell = None
    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data

page = Table()
page.feed(open(sys.argv[1], encoding="utf-8").read())
rows = ["\t".join(row) for row in page.rows if row]
print("\n".join(rows))
assert rows == sys.argv[2].split("\n"), rows
assert "script" not in page.tags, "a name became a script element"
PY
shot="${E2E_SCREENSHOT:-$e2e_work/page.png}"
chrome --screenshot="$shot" --window-size=412,640 --hide-scrollbars "http://127.0.0.1:$port/" ||
    e2e_fail "chromium took no screenshot: $(tail -n 5 "$e2e_work/chrome.err")"
spread=$(e2e_spread "$shot")
python3 -c "import sys; sys.exit(float('$spread') > 0.02)" && e2e_fail "the screenshot is blank"
echo "PASS: the page and scores.json show the four best as text"
