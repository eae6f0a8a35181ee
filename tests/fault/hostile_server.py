#!/usr/bin/env python3
"""A score server that takes connections and never answers, for the game's end-to-end tests.

usage: hostile_server.py COUNT_FILE: prints its port on 127.0.0.1 and keeps the number of
connections taken in COUNT_FILE; each is held for a minute at most. (Servers that flood, close
in mid-body or answer garbage are met in process: tests/unit/http and tests/unit/net.)
"""
import itertools
import os
import socket
import sys
import threading

if len(sys.argv) != 2:
    sys.exit(__doc__)
count_file = sys.argv[1]

def serve(conn):
    try:
        conn.settimeout(60)
        while conn.recv(4096):
            pass
    except OSError:
        pass  # the minute is over, or the game hung up
    finally:
        conn.close()

listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
for taken in itertools.count(1):
    conn, _ = listener.accept()
    with open(count_file + ".new", "w") as f:
        f.write(f"{taken}\n")
    os.replace(count_file + ".new", count_file)
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
