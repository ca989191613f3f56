import os
import queue
import subprocess
import threading
import time
import unittest

from harness import PATIENCE, E2ETestCase

SESSION_MANAGER = os.environ.get('VELLUMIN_SESSION_MANAGER', '')


class SessionTest(E2ETestCase):
    """The desktop session ending asks the same question as closing the window."""

    def setUp(self):
        super().setUp()
        self.manager = self.spawn([SESSION_MANAGER], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self.read_manager, daemon=True).start()
        self.events = []
        self.env['SESSION_MANAGER'] = self.next_line(PATIENCE)

    def read_manager(self):
        for line in self.manager.stdout:
            self.lines.put(line.strip())
        self.lines.put(None)

    def next_line(self, timeout):
        line = self.lines.get(timeout=max(timeout, 0.01))
        self.assertIsNotNone(line, 'the session manager stopped; it saw %s' % self.events)
        return line

    def expect(self, event, timeout=PATIENCE):
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.next_line(deadline - time.monotonic())
            except queue.Empty:
                self.fail('no "%s" from the session manager; it saw %s' % (event, self.events))
            self.events.append(line)
            if line == event:
                return

    def ask_to_end(self):
        self.manager.stdin.write('shutdown\n')
        self.manager.stdin.flush()
        self.expect('asked')

    def test_no_cancels_the_session_end_and_yes_ends_the_program(self):
        self.start_app()
        self.expect('registered')
        self.fetch('/p', b'kept through the question')

        self.ask_to_end()
        self.expect('interact-request')
        self.answer_and_go_on('n')
        self.expect('interact-done cancel')
        self.expect('restart-style 3')  # never restarted at the next login
        self.assertIsNone(self.app.poll())
        self.copy_until(b'kept through the question')

        self.ask_to_end()
        self.expect('interact-request')
        self.answer('Return')
        self.assertEqual(self.app.wait(timeout=PATIENCE), 0)


if __name__ == '__main__':
    unittest.main(verbosity=2)
