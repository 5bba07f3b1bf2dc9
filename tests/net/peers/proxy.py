#!/usr/bin/python3
"""A forwarding HTTP proxy with Basic proxy authentication, for loopback tests only."""

import base64
import http.client
import http.server
import sys
import urllib.parse


class Proxy(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def relay(self):
        expected = "Basic " + base64.b64encode(self.server.credentials.encode()).decode()
        if self.headers.get("Proxy-Authorization") != expected:
            body = b"<html><body>Proxy authentication required</body></html>"
            self.send_response(407)
            self.send_header("Proxy-Authenticate", 'Basic realm="test proxy"')
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            length = int(self.headers.get("Content-Length", "0"))
            if length:
                self.rfile.read(length)
            return
        target = urllib.parse.urlsplit(self.path)
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else None
        headers = {k: v for k, v in self.headers.items() if k.lower() not in ("proxy-authorization", "proxy-connection")}
        upstream = http.client.HTTPConnection(target.hostname, target.port or 80, timeout=60)
        path = target.path + ("?" + target.query if target.query else "")
        upstream.request(self.command, path, body=body, headers=headers)
        reply = upstream.getresponse()
        data = reply.read()
        self.send_response(reply.status)
        for name, value in reply.getheaders():
            if name.lower() not in ("transfer-encoding", "connection", "content-length"):
                self.send_header(name, value)
        self.send_header("Via", "1.1 test-proxy")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        self.server.forwarded += 1

    do_GET = relay
    do_POST = relay
    do_PUT = relay

    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Proxy)
    server.credentials = sys.argv[1]
    server.forwarded = 0
    print("ready", server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
