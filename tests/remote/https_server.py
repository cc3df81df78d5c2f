#!/usr/bin/env python3
"""A small HTTPS server standing in for the version site and the like counter.

Routes:
  /echo                      200, body: method, path, then each request header line
  /size/N                    200 with N bytes of a known pattern and a Content-Length
  /stream/N                  200 with N bytes, no Content-Length (ends at close)
  /empty                     200 with an empty body
  /status/N                  status N; a redirect points at /followed
  /followed                  200 "followed" (a client that follows a redirect lands here)
  /silent                    reads the request and never answers
  /versionTolvenaireAndroid.json, /api/likes/tolvenaireandroid/<v>
                             the two service answers (see ANSWERS and like_answer),
                             or a set override
  /_answer?path=P&status=S&body=B   sets the answer of P (B percent-encoded)
  /_reset                    forgets overrides and the last request
  /_last                     the last request to a service path, like /echo
"""
import argparse
import http.server
import os
import ssl
import sys
import threading
import time
import urllib.parse

PATTERN = b"0123456789abcdef"
SILENT_LIMIT_S = 30  # a silent answer still ends, whatever the client does

ANSWERS = {
    "/versionTolvenaireAndroid.json": (200, b'{"application": "tolvenaireandroid", "version": "1.10.0"}\n'),
}
LIKES = "/api/likes/tolvenaireandroid/"


def like_answer(path):
    """The like counter counts a like of the version the path names."""
    version = path[len(LIKES):]
    if not path.startswith(LIKES) or not version:
        return None
    body = '{"application":"tolvenaireandroid","version":"%s","likes":42,"added":true}' % version
    return 200, body.encode()

lock = threading.Lock()
overrides = {}
last_request = b""


def pattern(n):
    return (PATTERN * (n // len(PATTERN) + 1))[:n]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"  # one request per connection; simpler to reason about

    def log_message(self, fmt, *args):
        sys.stderr.write("https_server: " + (fmt % args) + "\n")

    def describe(self):
        lines = [self.command, self.path] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
        return ("\n".join(lines) + "\n").encode("utf-8")

    def answer(self, status, body, extra=(), length=True):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length:
            self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def route(self):
        global last_request
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        if path == "/echo":
            return self.answer(200, self.describe())
        if path.startswith("/size/"):
            return self.answer(200, pattern(int(path[6:])))
        if path.startswith("/stream/"):
            self.close_connection = True
            return self.answer(200, pattern(int(path[8:])), length=False)
        if path == "/empty":
            return self.answer(200, b"")
        if path.startswith("/status/"):
            code = int(path[8:])
            return self.answer(code, b"status %d" % code, [("Location", "/followed")])
        if path == "/followed":
            return self.answer(200, b"followed")
        if path == "/silent":
            self.connection.settimeout(SILENT_LIMIT_S)
            try:
                self.connection.recv(1)  # returns when the client gives up
            except OSError:
                pass
            self.close_connection = True
            return None
        if path == "/_answer":
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            with lock:
                overrides[query["path"][0]] = (int(query["status"][0]), query["body"][0].encode("utf-8"))
            return self.answer(200, b"set")
        if path == "/_reset":
            with lock:
                overrides.clear()
                last_request = b""
            return self.answer(200, b"reset")
        if path == "/_last":
            with lock:
                return self.answer(200, last_request)
        with lock:
            found = overrides.get(path) or ANSWERS.get(path) or like_answer(path)
            last_request = self.describe()
        if found is None:
            return self.answer(404, b"not found")
        return self.answer(*found)

    def do_GET(self):
        self.route()

    def do_POST(self):
        self.route()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    context = None

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread: a client that never
        # finishes it holds up nobody else.
        request.settimeout(SILENT_LIMIT_S)
        with self.context.wrap_socket(request, server_side=True) as tls:
            self.RequestHandlerClass(tls, client_address, self)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--ready", required=True, help="file written once the server listens")
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server = Server((args.address, args.port), Handler)
    server.context = context
    with open(args.ready + ".tmp", "w") as f:
        f.write(str(os.getpid()))
    os.replace(args.ready + ".tmp", args.ready)
    server.serve_forever()


if __name__ == "__main__":
    main()
