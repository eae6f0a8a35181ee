#!/usr/bin/env python3
"""A score server that misbehaves in one way, for the game's fault tests.

usage: hostile_server.py MODE COUNT_FILE
  hang     accepts, reads the request and never answers
  flood    answers 200 and sends a body that never ends
  close    promises a long body, sends part of it and closes
  garbage  binary bytes with NULs and very long lines, with and without an HTTP status line

Prints the port it listens on (127.0.0.1, chosen by the system) and counts the
connections it took in COUNT_FILE. Each connection is bounded in bytes and time.
"""
import os
import random
import socket
import sys
import threading
import time

MODES = ("hang", "flood", "close", "garbage")
MAX_SECONDS = 60  # no connection is held longer than this
FLOOD_LIMIT = 512 * 1024 * 1024

mode = sys.argv[1] if len(sys.argv) == 3 else ""
if mode not in MODES:
    sys.exit(__doc__)
count_file = sys.argv[2]
connections = 0
lock = threading.Lock()


def read_request(conn):
    conn.settimeout(5)
    data = b""
    try:
        while b"\r\n\r\n" not in data and len(data) < 65536:
            piece = conn.recv(4096)
            if not piece:
                break
            data += piece
    except OSError:
        pass


def garbage_bytes(rng, size):
    # Runs of printable text with no line end, broken by NULs, high bytes and newlines.
    out = bytearray()
    while len(out) < size:
        kind = rng.randrange(4)
        if kind == 0:
            out += bytes(rng.randrange(32, 127) for _ in range(rng.randrange(1, 200))) * 400
        elif kind == 1:
            out += b"\0" * rng.randrange(1, 50)
        elif kind == 2:
            out += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 3000)))
        else:
            out += b"\n" * rng.randrange(1, 5)
    return bytes(out[:size])


def serve(conn, index):
    rng = random.Random(index)
    try:
        read_request(conn)
        conn.settimeout(MAX_SECONDS)
        if mode == "hang":
            time.sleep(MAX_SECONDS)
        elif mode == "flood":
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n")
            chunk = (b"Flood " * 10923)[:65536]
            sent, end = 0, time.monotonic() + MAX_SECONDS
            while sent < FLOOD_LIMIT and time.monotonic() < end:
                conn.sendall(chunk)
                sent += len(chunk)
        elif mode == "close":
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n"
                         b"Content-Type: text/plain\r\n\r\nHalf a line of ")
        else:
            # The first answer of an exchange must look like HTTP, or the game asks no more.
            if index % 2 == 0:
                conn.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
            conn.sendall(garbage_bytes(rng, 300000))
    except OSError:
        pass  # the game hung up, as it should
    finally:
        conn.close()


def main():
    global connections
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        with lock:
            index = connections
            connections += 1
            with open(count_file + ".new", "w") as f:
                f.write(f"{connections}\n")
            os.replace(count_file + ".new", count_file)
        threading.Thread(target=serve, args=(conn, index), daemon=True).start()


main()
