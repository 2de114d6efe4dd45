#!/usr/bin/env python3
"""HTTP server of the network tests: replies nginx cannot give (HTTP/1.0, relative
redirects, slow, trickling and truncated bodies), a multipart echo checked with the email
parser, an echo of the request headers, large bodies, and a save-data server double. It
listens on 127.0.0.1 and on 127.0.0.2 (another host for redirects), on the same port.
Usage: http_test_server.py PORT STORE_FOLDER"""
import email
import email.policy
import json
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

STORE = sys.argv[2]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, code, body, headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def raw(self, data):
        self.wfile.write(data)
        self.wfile.flush()
        self.close_connection = True

    def trickle(self, marker):
        """A reply that promises a long body and sends a byte every 0.2 s (for 5 minutes at
        most, or until the client goes); the file marker in the store shows it started."""
        self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n")
        self.wfile.flush()
        open(os.path.join(STORE, marker), "w").close()
        self.close_connection = True
        for _ in range(1500):
            try:
                self.wfile.write(b"x")
                self.wfile.flush()
            except OSError:
                return
            time.sleep(0.2)

    def do_GET(self):
        url = urlsplit(self.path)
        path = url.path
        if path == "/http10":
            self.raw(b"HTTP/1.0 200 OK\r\nServer: old\r\n\r\nold style body")
        elif path == "/dir/rel":
            self.reply(302, b"", [("Location", "../target?from=rel")])
        elif path == "/redirect":
            self.reply(302, b"", [("Location", parse_qs(url.query)["to"][0])])
        elif path == "/headers":
            # The request's header lines in order, as received.
            self.reply(200, "".join("%s: %s\n" % item for item in self.headers.items()).encode("latin-1"))
        elif path == "/big":
            size = int(parse_qs(url.query)["bytes"][0])
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % size)
            piece = b"b" * (1 << 20)
            while size > 0:
                self.wfile.write(piece[:size])
                size -= len(piece)
        elif path == "/target":
            self.reply(200, b"target " + url.query.encode())
        elif path == "/notfound":
            self.reply(404, b"missing page")
        elif path == "/slow":
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n")
            for piece in (b"sl", b"ow", b"ly"):
                self.wfile.write(piece)
                self.wfile.flush()
                time.sleep(0.02)
        elif path == "/truncated":
            self.raw(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this")
        elif path == "/hang":
            time.sleep(120)
            self.close_connection = True
        elif path == "/save":
            self.save_get(parse_qs(url.query))
        else:
            self.reply(404, b"")

    def save_get(self, query):
        get = lambda key: query.get(key, [""])[0]
        with open(os.path.join(STORE, "queries.log"), "a", encoding="utf-8") as log:
            log.write(self.path + "\n")
        if get("pass") != "secret":
            return self.reply(200, "NG,パスワードが違います".encode("utf-8"))
        name = os.path.join(STORE, get("filename"))
        if get("mode") == "info":
            if get("filename") == "broken.dat":
                return self.reply(200, b"what")
            if get("filename") == "slowinfo.dat":
                return self.trickle("slowinfo.dat.sending")
            if get("filename") == "trickle.dat":
                return self.reply(200, b"OK,2000000000")
            stamp = open(name + ".time").read().strip() if os.path.exists(name + ".time") else "0"
            return self.reply(200, ("OK," + stamp + ",extra").encode())
        if get("mode") == "down":
            if get("filename") == "trickle.dat":
                return self.trickle("trickle.dat.sending")
            if not os.path.exists(name):
                return self.reply(404, b"no such file")
            return self.reply(200, open(name, "rb").read())
        self.reply(200, b"NG,unknown mode")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        kind = self.headers.get("Content-Type", "")
        path = urlsplit(self.path).path
        if not kind.startswith("multipart/form-data"):
            return self.reply(200, json.dumps({"type": kind, "form": body.decode("latin-1")}).encode())
        message = email.message_from_bytes(b"Content-Type: " + kind.encode() + b"\r\n\r\n" + body,
                                           policy=email.policy.HTTP)
        parts = []
        for part in message.iter_parts():
            parts.append({"name": part.get_param("name", header="content-disposition"),
                          "filename": part.get_filename(),
                          "type": part.get_content_type(),
                          "data": part.get_payload(decode=True).decode("latin-1")})
        if path == "/echo":
            # One line per part: name, file name and the bytes in hexadecimal.
            lines = ["defects=%d" % len(message.defects)]
            lines += ["%s|%s|%s" % (p["name"], p["filename"], p["data"].encode("latin-1").hex()) for p in parts]
            return self.reply(200, "\n".join(lines).encode("utf-8"))
        if path == "/save":
            fields = {p["name"]: p for p in parts}
            with open(os.path.join(STORE, "upload.json"), "w") as out:
                json.dump(parts, out)
            with open(os.path.join(STORE, "upload.raw"), "wb") as out:
                out.write(body)
            if fields.get("pass", {}).get("data") != "secret":
                return self.reply(200, b"NG,upload refused")
            name = os.path.join(STORE, fields["filename"]["data"])
            with open(name, "wb") as out:
                out.write(fields["file"]["data"].encode("latin-1"))
            with open(name + ".time", "w") as out:
                out.write(fields["filetime"]["data"])
            return self.reply(200, b"OK,stored")
        self.reply(404, b"")


servers = [ThreadingHTTPServer((address, int(sys.argv[1])), Handler) for address in ("127.0.0.2", "127.0.0.1")]
for server in servers:
    server.daemon_threads = True
threading.Thread(target=servers[0].serve_forever, daemon=True).start()
servers[1].serve_forever()
