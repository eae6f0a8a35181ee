#!/usr/bin/env python3
"""Clients of the score server that misbehave, for tests/e2e/server_abuse_test.sh and
bench/server_load.sh, on 127.0.0.1:PORT from the loopback address SOURCE if given.
  hold PORT COUNT FIRST_SOURCE PER_SOURCE INTERVAL [idle]: COUNT connections, PER_SOURCE from
      each address from FIRST_SOURCE on, trickling a byte of an endless header every INTERVAL
      seconds (idle: none). Prints "holding N", then "lost N" as the server closes some.
  flood PORT MEGABYTES header|body: the status answered (0: none) and the megabytes taken.
  burst PORT COUNT SOURCE: COUNT connections, then a request on each; prints how many were
      answered and how many closed without an answer.
"""
import resource
import socket
import sys
import time

MEGABYTE = 1 << 20

def connect(port, source="127.0.0.1", timeout=5.0):
    conn = socket.socket()
    conn.settimeout(timeout)
    conn.bind((source, 0))
    conn.connect(("127.0.0.1", port))
    return conn

def read_answer(conn):
    """The status of one answer; 0 when the connection closed without one."""
    data = b""
    try:
        while piece := conn.recv(65536):
            data += piece
            head, sep, body = data.partition(b"\r\n\r\n")
            length = [line for line in head.lower().split(b"\r\n") if line.startswith(b"content-length:")]
            if sep and length and len(body) >= int(length[0].split(b":")[1]):
                break
    except (ConnectionResetError, socket.timeout):
        pass
    return int(data.split(b" ")[1]) if data.startswith(b"HTTP/1.") else 0

def hold(port, count, first_source, per_source, interval, idle=None):
    count, per_source = int(count), int(per_source)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 64)), hard))
    base, last = first_source.rsplit(".", 1)
    conns = [connect(port, "%s.%d" % (base, int(last) + i // per_source)) for i in range(count)]
    for conn in conns:
        conn.setblocking(False)
        conn.send(b"" if idle else b"GET / HTTP/1.1\r\nX-Slow: ")
    print("holding", len(conns), flush=True)
    while True:
        time.sleep(float(interval))
        alive = []
        for conn in conns:
            try:
                if idle and conn.recv(1) == b"":
                    raise ConnectionResetError
                conn.send(b"" if idle else b"a")
                alive.append(conn)
            except BlockingIOError:
                alive.append(conn)
            except OSError:
                conn.close()
        if len(alive) != len(conns):
            print("lost", len(conns) - len(alive), flush=True)
        conns = alive

def flood(port, megabytes, kind):
    megabytes, sent, conn = int(megabytes), 0, connect(port, timeout=10)
    if kind == "header":
        conn.sendall(b"GET / HTTP/1.1\r\nHost: orbelle\r\n")
        chunk = b"X-Flood: " + b"a" * 1013 + b"\r\n"
    else:
        conn.sendall(b"GET / HTTP/1.1\r\nHost: orbelle\r\nContent-Length: %d\r\n\r\n" % (megabytes * MEGABYTE))
        chunk = b"b" * 1024
    try:
        for sent in range(1, megabytes + 1):
            conn.sendall(chunk * 1024)
    except OSError:
        sent -= 1
    print(read_answer(conn), sent)

def burst(port, count, source):
    conns = [connect(port, source) for _ in range(int(count))]
    for conn in conns:
        try:
            conn.sendall(b"GET /velmo/orbelle/haeennatykset.php?sija=1 HTTP/1.1\r\nHost: o\r\n\r\n")
        except OSError:
            pass
    answered = sum(read_answer(conn) != 0 for conn in conns)
    print(answered, len(conns) - answered)

MODES = {"hold": hold, "flood": flood, "burst": burst}
if len(sys.argv) < 3 or sys.argv[1] not in MODES:
    sys.exit(__doc__)
MODES[sys.argv[1]](int(sys.argv[2]), *sys.argv[3:])
