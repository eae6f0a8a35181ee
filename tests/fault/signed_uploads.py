#!/usr/bin/env python3
"""Sends signed score uploads to a local score server one after another, as the game does.

usage: signed_uploads.py PORT PREFIX COUNT ACK_FILE [FIRST STEP]

Entry i is named "PREFIX i" with score FIRST + i * STEP (default 1 + i). Each upload answered 200 is appended to
ACK_FILE as "name<TAB>score" once the answer is in. Stops at the first upload that gets no
answer at all (the server is gone) or after COUNT uploads.
"""
import hashlib
import http.client
import sys
import urllib.parse

SALT = "kovrenaltu37"
PATH = "/velmo/orbelle/lisaaennatys.php"

if len(sys.argv) not in (5, 7):
    sys.exit(__doc__)
port, prefix, count, ack_file = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), sys.argv[4]
first, step = (int(sys.argv[5]), int(sys.argv[6])) if len(sys.argv) == 7 else (1, 1)

acknowledged = 0
with open(ack_file, "a") as acks:
    for i in range(count):
        name, score = f"{prefix} {i}", first + i * step
        hashcheck = hashlib.md5(f"{name}{score}{SALT}".encode("latin-1")).hexdigest()
        query = urllib.parse.urlencode({"name": name, "score": score, "hashcheck": hashcheck})
        try:
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=3)
            conn.request("GET", f"{PATH}?{query}")
            status = conn.getresponse().status
            conn.close()
        except (OSError, http.client.HTTPException):
            break
        if status == 200:
            acks.write(f"{name}\t{score}\n")
            acks.flush()
            acknowledged += 1
print(acknowledged)
