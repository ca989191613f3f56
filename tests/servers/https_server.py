#!/usr/bin/env python3
"""A loopback HTTPS server for tests, with a private CA made at start.

Usage: https_server.py WORKDIR
Writes WORKDIR/ca.pem, prints the port it listens on, then serves every GET with a
small page until it is killed.
"""
import http.server
import os
import ssl
import subprocess
import sys


def make_certificates(workdir):
    def run(*args):
        subprocess.run(['openssl', *args], cwd=workdir, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    curve = ['-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes']
    run('req', '-x509', *curve, '-keyout', 'ca.key', '-out', 'ca.pem', '-days', '2',
        '-subj', '/CN=Vellumin Test CA')
    run('req', *curve, '-keyout', 'server.key', '-out', 'server.csr', '-subj', '/CN=localhost')
    with open(os.path.join(workdir, 'ext.cnf'), 'w') as ext:
        ext.write('subjectAltName=DNS:localhost,IP:127.0.0.1\n'
                  'basicConstraints=CA:FALSE\n'
                  'extendedKeyUsage=serverAuth\n')
    run('x509', '-req', '-in', 'server.csr', '-CA', 'ca.pem', '-CAkey', 'ca.key',
        '-CAcreateserial', '-out', 'server.pem', '-days', '2', '-extfile', 'ext.cnf')


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = b'<html>secure page</html>'
        self.send_response(200)
        self.send_header('Content-Type', 'text/html; charset=utf-8')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    workdir = sys.argv[1]
    make_certificates(workdir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(workdir, 'server.pem'), os.path.join(workdir, 'server.key'))
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == '__main__':
    main()
