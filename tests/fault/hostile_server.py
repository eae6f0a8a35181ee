#!/usr/bin/env python3
"""A score server that misbehaves in one way, for the game's fault tests.

usage: hostile_server.py hang|flood|close|garbage COUNT_FILE: never answers; answers a body that
never ends; promises a long body and closes in it; sends a very long line and any bytes,
NULs among them, every other time after a status line. Prints its port on 127.0.0.1 and keeps
the number of connections taken in COUNT_FILE. None is held over a minute or sent over 512 MB.
"""
import os
import random
import socket
import sys
import threading
import time

mode, count_file = sys.argv[1:] if len(sys.argv) == 3 else ("", "")
if mode not in ("hang", "flood", "close", "garbage"):
    sys.exit(__doc__)

def serve(conn, index):
    end = time.monotonic() + 60
    try:
        conn.settimeout(5)
        request = b""
        while b"\r\n\r\n" not in request and (piece := conn.recv(4096)):
            request += piece
        conn.settimeout(60)
        if mode == "hang":
            time.sleep(60)
        elif mode == "flood":
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n")
            for _ in range(8192):
                if time.monotonic() > end:
                    break
                conn.sendall(b"Flood " * 10922)
        elif mode == "close":
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nHalf a line of ")
        else:
            # The first answer of an exchange must look like HTTP, or the game asks no more.
            if index % 2 == 0:
                conn.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
            conn.sendall(b"A" * 100000 + random.Random(index).randbytes(200000))
    except OSError:
        pass  # the game hung up, as it should
    finally:
        conn.close()

listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
for index in range(1 << 30):
    conn, _ = listener.accept()
    with open(count_file + ".new", "w") as f:
        f.write(f"{index + 1}\n")
    os.replace(count_file + ".new", count_file)
    threading.Thread(target=serve, args=(conn, index), daemon=True).start()
