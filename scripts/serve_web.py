#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 with the two headers that make a page cross-origin isolated.

serve_web.py FOLDER PORT [--plain] [--no-service-worker]: --plain leaves the headers out (a host
that cannot send them), --no-service-worker answers 404 for sw.js (for the page's tests). Port 0
takes a free one; the first line printed names the address.
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    plain = False
    no_service_worker = False
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def end_headers(self):
        if not self.plain:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def do_GET(self):
        if self.no_service_worker and self.path.split("?")[0].endswith("/sw.js"):
            self.send_error(404)
            return
        super().do_GET()

    def log_message(self, *args):
        pass


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    Handler.plain = "--plain" in sys.argv[3:]
    Handler.no_service_worker = "--no-service-worker" in sys.argv[3:]
    handler = functools.partial(Handler, directory=folder)
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        port = server.server_address[1]
        print(f"serving {folder} on http://127.0.0.1:{port}/kavaro.html", flush=True)
        server.serve_forever()


if __name__ == "__main__":
    main()
