#!/usr/bin/env python3
"""A loopback web server for the catalog tests: serves a folder, and two misbehaving files anywhere in it.

Usage: catalog-server.py ROOT PORT-FILE. Listens on 127.0.0.1 at a free port, which it writes to PORT-FILE.
A file named endless.hdr is answered with bytes that never end (no length); stalled.hdr with a few bytes, then
nothing; slow.hdr with a byte every 0.3 s.
"""
import functools
import http.server
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        name = self.path.rsplit("/", 1)[-1]
        if name not in ("endless.hdr", "stalled.hdr", "slow.hdr"):
            return super().do_GET()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.end_headers()
        try:
            self.wfile.write(b"$\x01\x01" + bytes(61))
            self.wfile.flush()
            for _ in range(200000 if name != "stalled.hdr" else 0):
                self.wfile.write(bytes(65536 if name == "endless.hdr" else 1))
                self.wfile.flush()
                if name == "slow.hdr":
                    time.sleep(0.3)
            time.sleep(60)
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    root, port_file = sys.argv[1], sys.argv[2]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=root))
    server.daemon_threads = True
    with open(port_file, "w") as out:
        out.write(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
