#!/usr/bin/python3
"""Slowloris against `sysdiagnose-host ui`: holds many connections open that send their request
a byte at a time and never finish it (opening new ones as the server drops them), and meanwhile
asks for the page once a second, as a browser would. Exit status 0 when every page came within
the limit.

    build/default/bin/sysdiagnose-host ui --machine resources/machines/faulty-notebook.json &
    scripts/slowloris.py http://127.0.0.1:PORT/?token=TOKEN [--connections 300] [--seconds 30]
"""
import argparse
import socket
import sys
import time
import urllib.request
from urllib.parse import urlsplit


def open_trickling(host, port):
    """A connection that has begun a request and will never end it."""
    connection = socket.create_connection((host, port), timeout=5)
    connection.setblocking(False)
    connection.send(b"GET / HTTP/1.1\r\nHost: %s:%d\r\nX-a: " % (host.encode(), port))
    return connection


def trickle(connections, host, port, wanted):
    """One more byte on every connection; the ones the server closed are opened again."""
    alive = []
    for connection in connections:
        try:
            connection.send(b"a")
            alive.append(connection)
        except OSError:
            connection.close()
    while len(alive) < wanted:
        try:
            alive.append(open_trickling(host, port))
        except OSError:
            break
    return alive


def fetch_page(url, limit):
    """Seconds the page took, or None when it did not come within the limit."""
    start = time.monotonic()
    try:
        with urllib.request.urlopen(url, timeout=limit) as answer:
            answer.read()
            return time.monotonic() - start if answer.status == 200 else None
    except OSError:
        return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("url", help="the URL `sysdiagnose-host ui` printed")
    parser.add_argument("--connections", type=int, default=300)
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--limit", type=float, default=2.0, help="seconds the page may take")
    args = parser.parse_args()
    target = urlsplit(args.url)
    host, port = target.hostname, target.port

    connections = trickle([], host, port, args.connections)
    print(f"{len(connections)} connections trickling their requests")
    answered, late = 0, 0
    end = time.monotonic() + args.seconds
    while time.monotonic() < end:
        took = fetch_page(args.url, args.limit)
        if took is None:
            late += 1
            print(f"page: no answer within {args.limit} s")
        else:
            answered += 1
            print(f"page: {took * 1000:.0f} ms")
        connections = trickle(connections, host, port, args.connections)
        time.sleep(1)
    for connection in connections:
        connection.close()
    print(f"{answered} pages within {args.limit} s, {late} not, with {args.connections} connections trickling")
    return 0 if late == 0 and answered > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
