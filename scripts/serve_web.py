#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 with the two headers that make a page cross-origin isolated.

serve_web.py FOLDER PORT [--plain]: --plain leaves the headers out (a host that cannot send
them, for the service worker's test).
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    plain = False
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def end_headers(self):
        if not self.plain:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, *args):
        pass


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    Handler.plain = "--plain" in sys.argv[3:]
    handler = functools.partial(Handler, directory=folder)
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        print(f"serving {folder} on http://127.0.0.1:{port}/kavaro.html", flush=True)
        server.serve_forever()


if __name__ == "__main__":
    main()
