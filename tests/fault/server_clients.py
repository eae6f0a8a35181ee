#!/usr/bin/env python3
"""Clients of the score server, well-behaved and not, for the server scripts in tests/e2e and
bench/server_load.sh. Every client talks to 127.0.0.1:PORT unless a source address is given.

usage:
  server_clients.py hold PORT COUNT FIRST_SOURCE PER_SOURCE INTERVAL [idle]
      Opens COUNT connections, PER_SOURCE from each loopback source address from FIRST_SOURCE
      on (127.0.0.2, 127.0.0.3, ...), and trickles one byte of an endless header block down
      each every INTERVAL seconds ("idle": sends nothing). Prints "holding N" once all are
      open (N counts those still open then), then "lost N" each time connections are closed
      by the server; runs until killed.
  server_clients.py flood PORT MEGABYTES header|body
      One request carrying MEGABYTES of header lines, or announcing and sending that much
      body. Prints the status the server answered (0 for none) and the megabytes it took in
      before it closed the connection.
  server_clients.py burst PORT COUNT SOURCE
      Opens COUNT connections from SOURCE, then sends a rank request on each. Prints how many
      got an answer and how many were closed without one.
  server_clients.py get PORT SOURCE PATH...
      One GET per path, each on its own connection, 5 s time-out each. Prints one line per
      path: the status (0 when none came) and the body in hex.
  server_clients.py upload PORT SOURCE SCORE NAME_HEX...
      Signed uploads as the game sends them, the names given in hex. Prints the statuses.
  server_clients.py acked PORT PREFIX COUNT ACK_FILE [FIRST STEP]
      Up to COUNT signed uploads one after another, entry i named "PREFIX i" with score
      FIRST + i * STEP (default 1 + i). Each answered 200 is appended to ACK_FILE as
      "name<TAB>score" once the answer is in; stops at the first one without an answer.
"""
import hashlib
import resource
import socket
import sys
import time
import urllib.parse

SALT = b"kovrenaltu37"
UPLOAD_PATH = "/velmo/orbelle/lisaaennatys.php"
RANK_PATH = "/velmo/orbelle/haeennatykset.php?sija=1"
MEGABYTE = 1 << 20


def connect(port, source="127.0.0.1", timeout=5.0):
    conn = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    conn.settimeout(timeout)
    conn.bind((source, 0))
    conn.connect(("127.0.0.1", port))
    return conn


def read_answer(conn):
    """The status and body of one answer; status 0 when the connection closed without one."""
    data = b""
    try:
        while True:
            piece = conn.recv(65536)
            if not piece:
                break
            data += piece
            head, sep, body = data.partition(b"\r\n\r\n")
            if sep and b"content-length:" in head.lower():
                length = int(head.lower().split(b"content-length:")[1].split(b"\r\n")[0])
                if len(body) >= length:
                    break
    except (ConnectionResetError, socket.timeout):
        pass
    head, _, body = data.partition(b"\r\n\r\n")
    if not head.startswith(b"HTTP/1."):
        return 0, b""
    return int(head.split(b" ")[1]), body


def get(port, source, path):
    try:
        conn = connect(port, source)
        conn.sendall(b"GET %s HTTP/1.1\r\nHost: orbelle\r\nConnection: close\r\n\r\n" % path)
        answer = read_answer(conn)
        conn.close()
        return answer
    except OSError:
        return 0, b""


def hold(port, count, first_source, per_source, interval, idle):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 64)), hard))
    base = first_source.rsplit(".", 1)
    conns = []
    for i in range(count):
        source = "%s.%d" % (base[0], int(base[1]) + i // per_source)
        conn = connect(port, source)
        conn.setblocking(False)
        conns.append(conn)
        if not idle:
            conn.send(b"GET / HTTP/1.1\r\nX-Slow: ")
    print("holding", len(conns), flush=True)
    while True:
        time.sleep(interval)
        alive = []
        for conn in conns:
            try:
                if not idle:
                    conn.send(b"a")
                elif conn.recv(1) == b"":
                    raise ConnectionResetError
                alive.append(conn)
            except BlockingIOError:
                alive.append(conn)
            except OSError:
                conn.close()
        if len(alive) != len(conns):
            print("lost", len(conns) - len(alive), flush=True)
        conns = alive


def flood(port, megabytes, kind):
    conn = connect(port, timeout=10)
    if kind == "header":
        conn.sendall(b"GET / HTTP/1.1\r\nHost: orbelle\r\n")
        chunk = b"X-Flood: " + b"a" * 1013 + b"\r\n"
    else:
        conn.sendall(b"GET / HTTP/1.1\r\nHost: orbelle\r\nContent-Length: %d\r\n\r\n"
                     % (megabytes * MEGABYTE))
        chunk = b"b" * 1024
    sent = 0
    try:
        for _ in range(megabytes):
            conn.sendall(chunk * 1024)
            sent += MEGABYTE
    except OSError:
        pass
    status, _ = read_answer(conn)
    print(status, sent // MEGABYTE)


def burst(port, count, source):
    conns = [connect(port, source) for _ in range(count)]
    answered = 0
    for conn in conns:
        try:
            conn.sendall(b"GET %s HTTP/1.1\r\nHost: orbelle\r\n\r\n" % RANK_PATH.encode())
        except OSError:
            pass
    for conn in conns:
        answered += read_answer(conn)[0] != 0
        conn.close()
    print(answered, count - answered)


def upload_path(name, score):
    text = str(score).encode()
    hashcheck = hashlib.md5(name + text + SALT).hexdigest()
    return "%s?name=%s&score=%s&hashcheck=%s" % (
        UPLOAD_PATH, urllib.parse.quote(name, safe=""), text.decode(), hashcheck)


def main(args):
    mode, port = args[0], int(args[1])
    if mode == "hold":
        hold(port, int(args[2]), args[3], int(args[4]), float(args[5]), args[6:] == ["idle"])
    elif mode == "flood":
        flood(port, int(args[2]), args[3])
    elif mode == "burst":
        burst(port, int(args[2]), args[3])
    elif mode == "get":
        for path in args[3:]:
            status, body = get(port, args[2], path.encode())
            print(status, body.hex())
    elif mode == "upload":
        statuses = [get(port, args[2], upload_path(bytes.fromhex(name), args[3]).encode())[0]
                    for name in args[4:]]
        print(*statuses)
    elif mode == "acked":
        first, step = (int(args[5]), int(args[6])) if len(args) == 7 else (1, 1)
        with open(args[4], "a") as acks:
            for i in range(int(args[3])):
                name, score = f"{args[2]} {i}", first + i * step
                status = get(port, "127.0.0.1", upload_path(name.encode(), score).encode())[0]
                if status == 0:
                    break
                if status == 200:
                    acks.write(f"{name}\t{score}\n")
                    acks.flush()
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1:])
