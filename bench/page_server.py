#!/usr/bin/env python3
"""Serves the files of one folder on 127.0.0.1, on a port the OS picks.

Prints the port, then serves until killed. Used by the benchmark, for Vellumin and
the curl command line alike. A file whose name ends in .br is sent as an HTML page
with Content-Encoding: br.
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def guess_type(self, path):
        if path.endswith('.br'):
            return 'text/html'
        return super().guess_type(path)

    def end_headers(self):
        if self.path.endswith('.br'):
            self.send_header('Content-Encoding', 'br')
        super().end_headers()


def main():
    handler = functools.partial(Handler, directory=sys.argv[1])
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == '__main__':
    main()
