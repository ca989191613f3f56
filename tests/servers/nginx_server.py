#!/usr/bin/env python3
"""Debian's nginx for tests, on loopback ports picked here, with a configuration of
the tests' own and a private CA made at start.

Usage: nginx_server.py WORKDIR DOCROOT
Serves DOCROOT on three ports of 127.0.0.1: HTTP/1.1 in the clear, HTTP/1.1 over TLS,
and HTTP/2 over TLS. Writes WORKDIR/ca.pem (the CA to trust), the configuration, the
pid file, the temporary folders and WORKDIR/access.log (one line a response: target,
protocol, status, Content-Encoding, Transfer-Encoding), prints the three ports on one
line once nginx answers on all of them, and stops nginx when its standard input
closes or it is terminated.
"""
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from https_server import make_certificates  # noqa: E402

CONFIG = '''
daemon off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log warn;
{user}
events {{ worker_connections 64; }}
http {{
    types {{ text/html html; text/plain txt; }}
    default_type application/octet-stream;
    charset utf-8;
    log_format served '$request_uri $server_protocol $status $sent_http_content_encoding $sent_http_transfer_encoding';
    access_log {work}/access.log served;
    client_body_temp_path {work}/temp/body;
    proxy_temp_path {work}/temp/proxy;
    fastcgi_temp_path {work}/temp/fastcgi;
    uwsgi_temp_path {work}/temp/uwsgi;
    scgi_temp_path {work}/temp/scgi;
    sendfile on;
    gzip off;
    absolute_redirect off;

    server {{
        listen 127.0.0.1:{http};
        listen 127.0.0.1:{https} ssl;
        listen 127.0.0.1:{http2} ssl http2;
        ssl_certificate {work}/server.pem;
        ssl_certificate_key {work}/server.key;
        root {docroot};

        location /gzip/ {{
            gzip on;
            gzip_types text/plain;
            gzip_min_length 0;
        }}
        # Server-side includes make the length unknown in advance: the body goes in chunks.
        location /chunked/ {{
            ssi on;
            ssi_types text/plain;
        }}
        location = /old {{
            return 301 /page.html;
        }}
        error_page 404 /404.html;
        location = /404.html {{
            internal;
        }}
    }}
}}
'''


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for s in sockets:
        s.bind(('127.0.0.1', 0))
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


def answers(port):
    try:
        with socket.create_connection(('127.0.0.1', port), timeout=1):
            return True
    except OSError:
        return False


def start(work, docroot):
    """nginx on fresh ports; another try when a port was taken in the meantime."""
    program = shutil.which('nginx') or shutil.which('nginx', path='/usr/sbin:/sbin')
    if not program:
        sys.exit('nginx is not installed; scripts/test installs it')
    for _ in range(5):
        ports = free_ports(3)
        user = 'user %s;' % pwd.getpwuid(os.getuid()).pw_name if os.getuid() == 0 else ''
        with open(os.path.join(work, 'nginx.conf'), 'w') as f:
            f.write(CONFIG.format(work=work, docroot=docroot, user=user,
                                  http=ports[0], https=ports[1], http2=ports[2]))
        nginx = subprocess.Popen([program, '-p', work + '/', '-c', os.path.join(work, 'nginx.conf'), '-e', 'stderr'],
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=open(os.path.join(work, 'nginx.stderr'), 'w'))
        deadline = time.monotonic() + 30
        while nginx.poll() is None and time.monotonic() < deadline:
            if all(answers(port) for port in ports):
                return nginx, ports
            time.sleep(0.05)
        stop(nginx)
        with open(os.path.join(work, 'nginx.stderr')) as f:
            errors = f.read()
        if 'Address already in use' not in errors:
            sys.exit('nginx did not start:\n' + errors)
    sys.exit('nginx found no free ports')


def stop(nginx):
    if nginx.poll() is None:
        nginx.terminate()
        try:
            nginx.wait(timeout=10)
        except subprocess.TimeoutExpired:
            nginx.kill()
            nginx.wait()


def main():
    work, docroot = (os.path.abspath(path) for path in sys.argv[1:3])
    for name in ('body', 'proxy', 'fastcgi', 'uwsgi', 'scgi'):
        os.makedirs(os.path.join(work, 'temp', name), exist_ok=True)
    make_certificates(work)
    nginx, ports = start(work, docroot)
    signal.signal(signal.SIGTERM, lambda *_: (stop(nginx), sys.exit(0)))
    sys.stdout.write(' '.join(map(str, ports)) + '\n')
    sys.stdout.flush()
    # The test holds our standard input open for as long as it needs the server.
    sys.stdin.buffer.read()
    stop(nginx)


if __name__ == '__main__':
    main()
