#!/usr/bin/env python3
"""A DNS-over-HTTPS responder for the speed test's tests, on loopback only.

responder.py CERT KEY PORT ADDRESS... serves HTTPS on PORT of each ADDRESS (all 127.x) and
answers a POST of application/dns-message by path:
  /dns-query  the query back as a response (QR set, NOERROR, no records): a DNS answer
  /fail       HTTP 500
  /junk       200 with Content-Type application/dns-message and a body that is not DNS
Prints "ready" once every address listens; stops on SIGTERM.
"""
import http.server
import ipaddress
import signal
import ssl
import sys
import threading


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, content_type="application/dns-message"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path == "/fail":
            self.reply(500, b"failed", "text/plain")
        elif self.path == "/junk":
            self.reply(200, b"<html>not dns</html>")
        elif (self.path == "/dns-query" and len(query) >= 12
              and self.headers.get("Content-Type") == "application/dns-message"):
            self.reply(200, query[:2] + bytes([query[2] | 0x80, query[3] & 0xF0]) + query[4:])
        else:
            self.reply(400, b"bad request", "text/plain")


def main():
    cert, key, port, addresses = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    servers = []
    for address in addresses:
        if not ipaddress.ip_address(address).is_loopback:
            sys.exit(f"{address} is not a loopback address")
        server = http.server.ThreadingHTTPServer((address, port), Handler)
        server.socket = context.wrap_socket(server.socket, server_side=True)
        servers.append(server)
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("ready", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    stop.wait()
    for server in servers:
        server.shutdown()


if __name__ == "__main__":
    main()
