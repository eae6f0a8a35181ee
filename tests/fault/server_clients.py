#!/usr/bin/env python3
"""Clients of the score server, well-behaved and not, for tests/e2e and bench/server_load.sh.
All talk to 127.0.0.1:PORT, from the loopback address SOURCE where one is given.

  hold PORT COUNT FIRST_SOURCE PER_SOURCE INTERVAL [idle]: COUNT connections, PER_SOURCE from
      each address from FIRST_SOURCE on, each trickling a byte of an endless header every
      INTERVAL seconds (idle: nothing). Prints "holding N", then "lost N" as the server closes
      some; runs until killed.
  flood PORT MEGABYTES header|body: prints the status answered (0: none) and the megabytes
      the server took in before it closed the connection.
  burst PORT COUNT SOURCE: COUNT connections, then a request on each; prints how many were
      answered and how many closed without an answer.
  get PORT SOURCE PATH...: prints per path the status (0: none) and the body in hex.
  upload PORT SOURCE SCORE NAME_HEX...: signed as the game signs; prints the statuses.
  acked PORT PREFIX COUNT ACK_FILE [FIRST STEP]: uploads "PREFIX i" with score FIRST + i * STEP
      (1 + i) in turn, appending each answered 200 to ACK_FILE as "name-in-hex score"; stops
      at the first that gets no answer.
"""
import hashlib
import resource
import socket
import sys
import time
import urllib.parse

MEGABYTE = 1 << 20


def connect(port, source="127.0.0.1", timeout=5.0):
    conn = socket.socket()
    conn.settimeout(timeout)
    conn.bind((source, 0))
    conn.connect(("127.0.0.1", port))
    return conn


def read_answer(conn):
    """The status and body of one answer; status 0 when the connection closed without one."""
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
    head, _, body = data.partition(b"\r\n\r\n")
    return (int(head.split(b" ")[1]), body) if head.startswith(b"HTTP/1.") else (0, b"")


def get(port, source, path):
    try:
        with connect(port, source) as conn:
            conn.sendall(b"GET %s HTTP/1.1\r\nHost: orbelle\r\nConnection: close\r\n\r\n" % path)
            return read_answer(conn)
    except OSError:
        return 0, b""


def upload(port, source, name, score):
    text = str(score).encode()
    hashcheck = hashlib.md5(name + text + b"kovrenaltu37").hexdigest()
    path = "/velmo/orbelle/lisaaennatys.php?name=%s&score=%s&hashcheck=%s" % (
        urllib.parse.quote(name, safe=""), text.decode(), hashcheck)
    return get(port, source, path.encode())[0]


def hold(port, count, first_source, per_source, interval, idle):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 64)), hard))
    base, last = first_source.rsplit(".", 1)
    conns = [connect(port, "%s.%d" % (base, int(last) + i // per_source)) for i in range(count)]
    for conn in conns:
        conn.setblocking(False)
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
            sent += 1
    except OSError:
        pass
    print(read_answer(conn)[0], sent)


def burst(port, count, source):
    conns = [connect(port, source) for _ in range(count)]
    for conn in conns:
        try:
            conn.sendall(b"GET /velmo/orbelle/haeennatykset.php?sija=1 HTTP/1.1\r\nHost: o\r\n\r\n")
        except OSError:
            pass
    answered = sum(read_answer(conn)[0] != 0 for conn in conns)
    print(answered, count - answered)


def acked(port, prefix, count, ack_file, first=1, step=1):
    with open(ack_file, "a") as acks:
        for i in range(count):
            name, score = f"{prefix} {i}".encode(), first + i * step
            status = upload(port, "127.0.0.1", name, score)
            if status == 0:
                break
            if status == 200:
                acks.write(f"{name.hex()} {score}\n")
                acks.flush()


def main(mode, port, *args):
    port = int(port)
    if mode == "hold":
        hold(port, int(args[0]), args[1], int(args[2]), float(args[3]), args[4:] == ("idle",))
    elif mode == "flood":
        flood(port, int(args[0]), args[1])
    elif mode == "burst":
        burst(port, int(args[0]), args[1])
    elif mode == "get":
        for path in args[1:]:
            status, body = get(port, args[0], path.encode())
            print(status, body.hex())
    elif mode == "upload":
        print(*(upload(port, args[0], bytes.fromhex(name), args[1]) for name in args[2:]))
    elif mode == "acked":
        acked(port, args[0], int(args[1]), args[2], *map(int, args[3:5]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(*sys.argv[1:]) if len(sys.argv) > 2 else sys.exit(__doc__)
