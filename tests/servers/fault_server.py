#!/usr/bin/env python3
"""A small HTTP server that answers badly on purpose, for the download engine's tests.

Listens on 127.0.0.1 only, on a free port that it writes to PORT_FILE. Every request head it receives is
kept byte for byte in STATE_DIR/requests/<last path segment>.txt, so a test can check the exact header
block it sent. It ends by itself after LIFETIME seconds, whatever happens to the test that started it.

    fault_server.py STATE_DIR PORT_FILE LIFETIME
"""
import gzip
import os
import socket
import socketserver
import struct
import sys
import threading
import time

STATE_DIR = sys.argv[1]
PORT_FILE = sys.argv[2]
LIFETIME = float(sys.argv[3])


def body_of(size):
    """The bytes every test knows: position modulo 251."""
    return bytes(i % 251 for i in range(size))


GZIP_PLAIN = b"the updater writes what it receives\n" * 200
GZIP_BODY = gzip.compress(GZIP_PLAIN, mtime=0)


class Handler(socketserver.BaseRequestHandler):
    def read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk:
                return None
            data += chunk
            if len(data) > 65536:
                return None
        return data.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n"

    def send(self, status, headers=(), body=b""):
        lines = [f"HTTP/1.1 {status}"] + list(headers) + ["Connection: close"]
        self.request.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("ascii") + body)

    def drop(self):
        # An abortive close (RST) is what a dead peer or a broken route looks like.
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.request.close()

    def handle(self):
        self.request.settimeout(60)
        head = self.read_head()
        if head is None:
            return
        request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = request_line.split(" ")
        path = parts[1] if len(parts) > 1 else "/"
        path = path.split("?", 1)[0]
        name = path.rstrip("/").rsplit("/", 1)[-1] or "root"
        record_dir = os.path.join(STATE_DIR, "requests")
        with open(os.path.join(record_dir, name + ".part"), "wb") as record:
            record.write(head)
        os.replace(os.path.join(record_dir, name + ".part"), os.path.join(record_dir, name + ".txt"))
        range_start = None
        for line in head.split(b"\r\n")[1:]:
            field, _, value = line.decode("latin-1").partition(":")
            if field.strip().lower() == "range":
                value = value.strip()
                if value.startswith("bytes=") and value.endswith("-") and value[6:-1].isdigit():
                    range_start = int(value[6:-1])
        route = path.split("/")[1] if path.count("/") >= 1 else ""
        getattr(self, "route_" + route.replace("-", "_"), self.route_missing)(path, range_start)

    def route_missing(self, path, range_start):
        self.send("404 Not Found", ["Content-Length: 9"], b"not found")

    def route_status(self, path, range_start):
        code = int(path.split("/")[2])
        text = {404: "Not Found", 500: "Internal Server Error", 503: "Service Unavailable"}.get(code, "Other")
        body = f"status {code} page".encode("ascii")
        self.send(f"{code} {text}", [f"Content-Length: {len(body)}", "Content-Type: text/html"], body)

    def route_moved(self, path, range_start):
        self.send("301 Moved Permanently", ["Location: /status/404", "Content-Length: 0"])

    def route_body(self, path, range_start):
        """/body/<size>/<name>: a plain 200 answer; a Range asks for a 206 from that byte on."""
        size = int(path.split("/")[2])
        body = body_of(size)
        if range_start is not None and range_start < size:
            part = body[range_start:]
            self.send("206 Partial Content",
                      [f"Content-Length: {len(part)}", f"Content-Range: bytes {range_start}-{size - 1}/{size}"], part)
        else:
            self.send("200 OK", [f"Content-Length: {size}"], body)

    def route_short(self, path, range_start):
        """Announces 20000 bytes, sends 5000, then ends the connection in order."""
        self.send("200 OK", ["Content-Length: 20000"], body_of(5000))
        self.request.shutdown(socket.SHUT_WR)

    def route_drop(self, path, range_start):
        """Announces 50000 bytes and resets the connection after 20000."""
        self.send("200 OK", ["Content-Length: 50000"], body_of(20000))
        time.sleep(0.2)
        self.drop()

    def route_chunked(self, path, range_start):
        body = body_of(30000)
        self.send("200 OK", ["Transfer-Encoding: chunked"])
        for start in range(0, len(body), 7000):
            piece = body[start:start + 7000]
            self.request.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
        self.request.sendall(b"0\r\n\r\n")

    def route_empty(self, path, range_start):
        self.send("200 OK", ["Content-Length: 0"])

    def route_slow(self, path, range_start):
        """/slow/<pieces>: 1000-byte pieces, one every 100 ms, long enough to be stopped on the way."""
        pieces = int(path.split("/")[2])
        self.send("200 OK", [f"Content-Length: {pieces * 1000}"])
        body = body_of(pieces * 1000)
        try:
            for start in range(0, len(body), 1000):
                self.request.sendall(body[start:start + 1000])
                time.sleep(0.1)
        except OSError:
            pass  # the client gave up, as the stop test wants

    def route_silent(self, path, range_start):
        """Never answers, and hangs up after 5 seconds."""
        self.request.settimeout(5)
        try:
            self.request.recv(1)
        except OSError:
            pass

    def route_gzip(self, path, range_start):
        self.send("200 OK", ["Content-Encoding: gzip", f"Content-Length: {len(GZIP_BODY)}",
                             "Content-Type: application/octet-stream"], GZIP_BODY)

    def route_huge(self, path, range_start):
        """Announces 4 GiB + 1000 bytes and ends after 10240."""
        self.send("200 OK", ["Content-Length: 4294968296"], body_of(10240))
        self.request.shutdown(socket.SHUT_WR)


    def route_cut(self, path, range_start):
        """Announces 50000 bytes and resets the connection right after the head, before any body."""
        self.send("200 OK", ["Content-Length: 50000"])
        time.sleep(0.2)
        self.drop()

    def route_stall(self, path, range_start):
        """/stall/<seconds>: announces 20000 bytes, sends 5000, goes silent for SECONDS, then sends the rest."""
        seconds = float(path.split("/")[2])
        body = body_of(20000)
        try:
            self.send("200 OK", ["Content-Length: 20000"], body[:5000])
            time.sleep(seconds)
            self.request.sendall(body[5000:])
        except OSError:
            pass  # the client gave up during the stall

class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    os.makedirs(os.path.join(STATE_DIR, "requests"), exist_ok=True)
    # The exact bytes a test expects on disk after the gzip route.
    with open(os.path.join(STATE_DIR, "gzip_body.bin"), "wb") as f:
        f.write(GZIP_BODY)
    server = Server(("127.0.0.1", 0), Handler)
    with open(PORT_FILE + ".part", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(PORT_FILE + ".part", PORT_FILE)
    threading.Timer(LIFETIME, server.shutdown).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
