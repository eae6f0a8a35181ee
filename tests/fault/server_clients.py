#!/usr/bin/env python3
"""Clients of the score server, most of them misbehaving, for the server tests under tests/e2e
and the benchmarks, on PORT of 127.0.0.1 (::1 from an IPv6 SOURCE) from the address SOURCE.
  hold PORT COUNT FIRST_SOURCE PER_SOURCE INTERVAL [renew]: COUNT connections, PER_SOURCE
      from each address from FIRST_SOURCE on, trickling a byte of an endless header every
      INTERVAL seconds (renew: each one the server closes is opened again). Prints
      "holding N", then "lost N" as the server closes some (N: all lost so far).
  ask PORT COUNT SOURCE [PATH [STATUS]]: COUNT requests for PATH (rank 1) one after another,
      each on a new connection, up to the first not answered STATUS (200) within 5 s; prints
      how many were, and the 50th and 99th percentile and the longest time of their answers
      in ms.
  flood PORT MEGABYTES header|body: the status answered (0: none) and the megabytes taken.
  burst PORT COUNT SOURCE: COUNT connections, then a request on each; prints how many were
      answered and how many closed without an answer.
"""
import ipaddress
import resource
import socket
import sys
import time

MEGABYTE = 1 << 20
RANK = b"GET /velmo/orbelle/haeennatykset.php?sija=1 HTTP/1.1\r\nHost: o\r\n\r\n"
IPV6_FREEBIND = 78  # Linux; the sources of a test's /64 are routed to lo but not assigned

def connect(port, source="127.0.0.1", timeout=5.0):
    ipv6 = ":" in source
    conn = socket.socket(socket.AF_INET6 if ipv6 else socket.AF_INET)
    conn.settimeout(timeout)
    if ipv6:
        conn.setsockopt(socket.IPPROTO_IPV6, IPV6_FREEBIND, 1)
    conn.bind((source, 0))
    conn.connect(("::1" if ipv6 else "127.0.0.1", port))
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

def hold(port, count, first_source, per_source, interval, mode=None):
    count, per_source = int(count), int(per_source)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 64)), hard))
    first = ipaddress.ip_address(first_source)
    sources = [str(first + i // per_source) for i in range(count)]

    def opened(source):
        try:
            conn = connect(port, source)
            conn.setblocking(False)
            conn.send(b"GET / HTTP/1.1\r\nX-Slow: ")
            return conn
        except OSError:
            return None

    conns = [opened(source) for source in sources]
    print("holding", sum(conn is not None for conn in conns), flush=True)
    lost = 0
    while True:
        time.sleep(float(interval))
        for i, conn in enumerate(conns):
            try:
                if conn is None:
                    raise ConnectionResetError
                conn.send(b"a")
            except BlockingIOError:
                pass
            except OSError:
                if conn is not None:
                    conn.close()
                    lost += 1
                conns[i] = opened(sources[i]) if mode == "renew" else None
        if mode != "renew":
            conns = [conn for conn in conns if conn is not None]
        if lost:
            print("lost", lost, flush=True)

def ask(port, count, source, path=None, status="200"):
    request = b"GET %s HTTP/1.1\r\nHost: o\r\n\r\n" % path.encode() if path else RANK
    times = []
    for _ in range(int(count)):
        start = time.monotonic()
        try:
            conn = connect(port, source)
            conn.sendall(request)
            answered = read_answer(conn) == int(status)
            conn.close()
        except OSError:
            answered = False
        if not answered:
            break
        times.append((time.monotonic() - start) * 1000)
    times.sort()
    pick = lambda share: times[min(len(times) - 1, int(share * len(times)))] if times else 0
    print(len(times), "%.1f %.1f %.1f" % (pick(0.5), pick(0.99), pick(1)))

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
            conn.sendall(RANK)
        except OSError:
            pass
    answered = sum(read_answer(conn) != 0 for conn in conns)
    print(answered, len(conns) - answered)

MODES = {"hold": hold, "ask": ask, "flood": flood, "burst": burst}
if len(sys.argv) < 3 or sys.argv[1] not in MODES:
    sys.exit(__doc__)
MODES[sys.argv[1]](int(sys.argv[2]), *sys.argv[3:])
