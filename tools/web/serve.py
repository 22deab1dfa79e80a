#!/usr/bin/env python3
# serve.py -- serves a folder (dist/web) over HTTP on 127.0.0.1 only, with the types a page of WebAssembly needs
# usage: serve.py DIR [PORT]   (port 0: any free one; the address is printed first)
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{'.wasm': 'application/wasm', '.data': 'application/octet-stream',
                             '.js': 'text/javascript', '.html': 'text/html; charset=utf-8'})

    def log_message(self, format, *args):
        pass  # one line per file would bury the address


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit('usage: serve.py DIR [PORT]')
    port = int(sys.argv[2]) if len(sys.argv) == 3 else 8016
    handler = functools.partial(Handler, directory=sys.argv[1])
    with http.server.ThreadingHTTPServer(('127.0.0.1', port), handler) as server:
        print('serving %s at http://127.0.0.1:%d/ (Ctrl+C stops it)' % (sys.argv[1], server.server_address[1]),
              flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == '__main__':
    main()
