"""Drives the real vellumin binary under its own Xvfb and window manager.

Every process started here is remembered by PID and ended in tearDown; a failing
test leaves a screenshot in the build folder.
"""
import http.server
import os
import shutil
import signal
import socketserver
import subprocess
import tempfile
import threading
import time
import unittest

BINARY = os.environ.get('VELLUMIN_BIN', '')
ARTIFACTS = os.environ.get('VELLUMIN_E2E_ARTIFACTS', tempfile.gettempdir())
TWIPS_PER_PIXEL = 15  # the suite's display runs at 96 dpi
# How long anything may take to happen before a test gives up on it. Waits end as soon
# as what they wait for is there, so a long limit costs a passing test nothing; it only
# keeps a loaded machine, or the slower sanitized build, from failing a sound test.
PATIENCE = 60.0


def px(twips):
    return int(round(twips / TWIPS_PER_PIXEL))


# The program under test while it runs: a wait gives up at once when it has ended.
running = {'program': None}


def wait_for(predicate, timeout=PATIENCE, what='condition'):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        program = running['program']
        if program is not None and program.poll() is not None:
            raise AssertionError('the program ended (exit status %d) while waiting for %s' % (program.returncode, what))
        time.sleep(0.05)
    raise AssertionError('timed out waiting for ' + what)


class Page:
    """What the loopback server answers for one path."""

    def __init__(self, body=b'', status=200, content_type='text/html; charset=utf-8', delay=0.0):
        self.body, self.status, self.content_type, self.delay = body, status, content_type, delay


class Server:
    """A loopback HTTP server on a port the OS picks, recording each request path."""

    def __init__(self):
        self.pages = {}
        self.requests = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                page = server.pages.get(self.path, Page(b'not found', 404))
                if page.delay:
                    time.sleep(page.delay)
                try:
                    self.send_response(page.status)
                    self.send_header('Content-Type', page.content_type)
                    self.send_header('Content-Length', str(len(page.body)))
                    self.end_headers()
                    self.wfile.write(page.body)
                except OSError:
                    pass

            def log_message(self, *args):
                pass

        class Threaded(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True

        self.httpd = Threaded(('127.0.0.1', 0), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def address(self, path):
        return '127.0.0.1:%d%s' % (self.port, path)

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class E2ETestCase(unittest.TestCase):
    """Starts a display, a window manager, a server and the program for each test."""

    def setUp(self):
        self.assertTrue(BINARY and os.access(BINARY, os.X_OK), 'VELLUMIN_BIN must name the built program')
        self.processes = []
        self.server = None
        self.tmp = tempfile.mkdtemp(prefix='vellumin-e2e-')
        # Cleanups run even when setUp fails, where tearDown does not: no display or
        # window manager is left behind by a test that could not start.
        self.addCleanup(self.stop_everything)
        self.env = self.start_display()
        self.start_window_manager()
        self.server = Server()
        self.app = None

    def tearDown(self):
        running['program'] = None
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        if failed:
            os.makedirs(ARTIFACTS, exist_ok=True)
            shot = os.path.join(ARTIFACTS, '%s.png' % self.id().split('.')[-1])
            subprocess.run(['import', '-window', 'root', shot], env=self.env, timeout=20,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            print('screenshot: ' + shot)
            if self.app:
                with open(self.app_log, 'rb') as log:
                    print('the program said:\n' + log.read()[-4000:].decode(errors='replace'))

    def stop_everything(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            for pipe in (process.stdin, process.stdout, process.stderr):
                if pipe:
                    pipe.close()
        if self.server:
            self.server.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # Processes and the display.

    def spawn(self, args, **kwargs):
        process = subprocess.Popen(args, env=self.env, **kwargs)
        self.processes.append(process)
        return process

    def start_display(self):
        read, write = os.pipe()
        env = dict(os.environ)
        for name in ('http_proxy', 'https_proxy', 'HTTP_PROXY', 'HTTPS_PROXY', 'all_proxy', 'no_proxy'):
            env.pop(name, None)
        env.pop('QT_QPA_PLATFORM', None)
        env.pop('WAYLAND_DISPLAY', None)
        env['HOME'] = self.tmp
        env['XDG_RUNTIME_DIR'] = self.tmp
        env['XDG_CONFIG_HOME'] = os.path.join(self.tmp, 'config')
        xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1024x768x24', '-dpi', '96',
                                 '-nolisten', 'tcp', '-noreset'], pass_fds=(write,), env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(xvfb)
        os.close(write)
        number = b''
        while not number.endswith(b'\n'):
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        os.close(read)
        env['DISPLAY'] = ':' + number.decode().strip()
        return env

    def start_window_manager(self):
        # A window manager that ends before it has taken the display (a loaded machine
        # has been seen to do this once in many runs) is started again, and what it said
        # is shown if it never comes up.
        log_path = os.path.join(self.tmp, 'openbox.log')
        attempts = []

        def ready():
            if self.window_manager_ready():
                return True
            if not attempts or attempts[-1].poll() is not None:
                if len(attempts) == 3:
                    with open(log_path, 'rb') as log:
                        said = log.read()[-2000:].decode(errors='replace')
                    raise AssertionError('the window manager ended three times; it said:\n' + said)
                with open(log_path, 'ab') as log:
                    attempts.append(self.spawn(['openbox', '--sm-disable'], stdout=log, stderr=subprocess.STDOUT))
            return False

        wait_for(ready, what='the window manager')

    def window_manager_ready(self):
        result = subprocess.run(['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], env=self.env,
                                capture_output=True, text=True)
        return 'window id' in result.stdout

    def xdotool(self, *args):
        result = subprocess.run(['xdotool', *args], env=self.env, capture_output=True, text=True, timeout=20)
        return result.stdout.strip()

    # The program.

    def start_app(self):
        # Its output goes to a file, shown when the test fails: a pipe nobody reads
        # would stop the program once full.
        self.app_log = os.path.join(self.tmp, 'vellumin.log')
        with open(self.app_log, 'wb') as log:
            self.app = self.spawn([BINARY], stdout=log, stderr=subprocess.STDOUT)
        running['program'] = self.app
        self.window = wait_for(lambda: self.find_window('Vellumin by Orvak'), what='the main window')
        self.xdotool('windowactivate', '--sync', self.window)
        return self.window

    def find_window(self, title):
        ids = self.xdotool('search', '--all', '--pid', str(self.app.pid), '--onlyvisible', '--name', '^%s$' % title)
        return ids.split()[-1] if ids else None

    def client_size(self, window):
        out = self.xdotool('getwindowgeometry', '--shell', window)
        values = dict(line.split('=') for line in out.splitlines())
        return int(values['WIDTH']), int(values['HEIGHT'])

    def click(self, x_twips, y_twips, button=1):
        # Arrive from a step away, as a hand on the mouse does: Qt matches a press with
        # the pointer position it last saw move.
        self.xdotool('mousemove', '--window', self.window, str(px(x_twips) + 3), str(px(y_twips) + 3))
        self.xdotool('mousemove', '--window', self.window, str(px(x_twips)), str(px(y_twips)))
        self.xdotool('click', str(button))

    def keys(self, *keys):
        self.xdotool('key', '--clearmodifiers', *keys)

    def type_address(self, text):
        self.click(1500, 150)
        self.keys('ctrl+a')
        self.xdotool('type', '--delay', '5', text)

    def connect(self):
        self.click(500, 160)

    def visible_windows(self):
        return set(self.xdotool('search', '--all', '--pid', str(self.app.pid), '--onlyvisible', '.*').split())

    def menu(self, *keys):
        """Right click on the view, wait for the menu, and choose with the keyboard."""
        before = self.visible_windows()

        patience = [1.0]

        def opened():
            # Right after a menu closes, X may still hand the press to its grab; a
            # press that opened nothing is made again, after a longer wait each time,
            # so that a slow menu is not closed by the next press.
            self.click(1500, 1200, button=3)
            try:
                return wait_for(lambda: self.visible_windows() - before, patience[0])
            except AssertionError:
                patience[0] *= 2
                return None
        wait_for(opened, what='the context menu')
        self.keys(*keys)
        wait_for(lambda: not (self.visible_windows() - before) or self.find_window('Save As'),
                 what='the context menu to close')

    def copy(self):
        self.menu('Down', 'Return')

    def copy_until(self, expected, timeout=PATIENCE):
        """Copies until the clipboard holds what the view should show."""
        def copied():
            self.copy()
            return self.clipboard() == expected
        wait_for(copied, timeout, 'the view to hold %r (the clipboard holds %r)'
                 % (expected[:60], (self.clipboard() or b'')[:60]))

    def clipboard(self):
        result = subprocess.run(['xclip', '-selection', 'clipboard', '-o'], env=self.env,
                                capture_output=True, timeout=10)
        return result.stdout if result.returncode == 0 else None

    def clipboard_targets(self):
        result = subprocess.run(['xclip', '-selection', 'clipboard', '-t', 'TARGETS', '-o'], env=self.env,
                                capture_output=True, text=True, timeout=10)
        return result.stdout.split()

    def fetch(self, path, body):
        """Serves body at path, fetches it with Connect and waits until the view shows it."""
        self.server.pages[path] = Page(body)
        self.type_address(self.server.address(path))
        self.connect()
        self.copy_until(body)

    def answer(self, key):
        """Answers the program's message box with a key, and waits for it to close."""
        box = self.wait_for_dialog('Vellumin')
        self.xdotool('windowactivate', '--sync', box)
        self.keys(key)

    def answer_and_go_on(self, key):
        self.answer(key)
        wait_for(lambda: not self.find_window('Vellumin'), what='the message box to close')
        self.xdotool('windowactivate', '--sync', self.window)

    def wait_for_dialog(self, title):
        return wait_for(lambda: self.find_window(title), what='the window "%s"' % title)
