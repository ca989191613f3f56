"""The page view's keys against a real QPlainTextEdit (read-only, selectable by the
keyboard, the same text and font, no wrapping), shown side by side by a helper program
under the suite's X server and window manager: each sequence of keys is pressed in both
with xdotool, and the selections are read back through Ctrl+C.

A few keys differ on purpose (Up on the first row and Down on the last go to the
document's ends in the view; see the README's table): no row here presses them there.
"""
import os
import subprocess
import unittest

from harness import E2ETestCase, running, wait_for

TWINS = os.environ.get('VELLUMIN_CARET_TWINS', '')
SENTINEL = b'-- nothing copied yet --'

TEXT = ('first line of the page, with words.\n'
        '  <p class="x">Gru\u0308\u00dfe e\u0301t \U0001F44D\U0001F3FD \U0001F1E9\U0001F1EA ok</p>\n'
        'short\n'
        '\n'
        'a much longer line than the others: alpha.beta(gamma) delta\n'
        'last line')

# (what the row proves, the keys after Ctrl+Home, as xdotool names them)
ROWS = [
    ('Right and Left go by character', ['Right', 'Right', 'Right', 'Left', 'shift+Right']),
    ('Ctrl+Right stops at words and punctuation', ['ctrl+Right'] * 6 + ['shift+ctrl+Right']),
    ('Ctrl+Left from a line end', ['Down', 'End'] + ['ctrl+Left'] * 5 + ['shift+ctrl+Left']),
    ('clusters are one press each', ['Down', 'End'] + ['Left'] * 5 + ['shift+Left'] * 6),
    ('Shift+Right over an accent and a flag', ['Down', 'Home'] + ['ctrl+Right'] * 5 + ['shift+Right'] * 5),
    ('Home and End on an indented line', ['Down', 'Right', 'Right', 'Right', 'End', 'shift+Home']),
    ('End then Right goes to the next line', ['End', 'Right', 'shift+Right', 'shift+Left', 'shift+Left']),
    ('Left collapses a selection to its start', ['Right', 'shift+Right', 'shift+Right', 'Left', 'shift+Right']),
    ('Right collapses a selection to its end', ['Right', 'shift+Right', 'shift+Right', 'Right', 'shift+Right']),
    ('Shift+Down and Shift+Up keep the column', ['Right', 'Right', 'shift+Down', 'shift+Down', 'shift+Up']),
    ('Down keeps the column over an empty line', ['Down', 'Down'] + ['Right'] * 3 + ['Down', 'Down', 'shift+Right']),
    ('Ctrl+End and Shift+Ctrl+Home', ['ctrl+End', 'shift+ctrl+Home']),
    ('Ctrl+End then Shift+Up', ['ctrl+End', 'Left', 'shift+Up', 'shift+Up']),
    ('Ctrl+A selects everything', ['Down', 'ctrl+a']),
]


class CaretParityTest(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.assertTrue(TWINS and os.access(TWINS, os.X_OK), 'VELLUMIN_CARET_TWINS must name the helper')

    def set_clipboard(self, data):
        # xclip keeps the selection until someone else takes it, and then ends.
        owner = self.spawn(['xclip', '-selection', 'clipboard', '-quiet', '-i'], stdin=subprocess.PIPE,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        owner.stdin.write(data)
        owner.stdin.close()
        wait_for(lambda: self.clipboard() == data, what='the clipboard to be cleared')

    def press(self, window, *keys):
        self.xdotool('windowactivate', '--sync', window)
        self.keys(*keys)
        if window == self.twin:
            self.twin_keys += len(keys)

    def copied(self, window):
        """Ctrl+C in window, and what it put on the clipboard."""
        self.set_clipboard(SENTINEL)
        self.press(window, 'ctrl+c')
        return wait_for(lambda: self.clipboard() != SENTINEL and self.clipboard(), what='Ctrl+C to copy')

    def twin_state(self):
        """The twin's anchor and caret once it has taken every key sent to it."""
        def state():
            _, keys, anchor, caret = self.xdotool('getwindowname', self.twin).split()
            return int(keys) == self.twin_keys and (int(anchor), int(caret))
        return wait_for(state, what='the plain text edit to take its keys')

    def read_back(self, window, anchor, caret, size):
        """The selection, and the text from the anchor to the end (or from the start to
        the anchor when it is at the end): together they say where the selection is."""
        selection = self.copied(window) if anchor != caret else b''
        self.press(window, 'shift+ctrl+End' if anchor < size else 'shift+ctrl+Home')
        return selection, self.copied(window)

    def test_keys_as_in_a_plain_text_edit(self):
        path = os.path.join(self.tmp, 'page.txt')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(TEXT)
        twins = self.spawn([TWINS, path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        running['program'] = twins

        def window(title):
            found = self.xdotool('search', '--all', '--pid', str(twins.pid), '--onlyvisible', '--name', title)
            return found.split()[-1] if found else None
        self.twin_keys = 0
        self.twin = wait_for(lambda: window('^twin '), what='the plain text edit')
        self.window = wait_for(lambda: window('^page view$'), what='the page view')
        size = len(TEXT.encode('utf-16-le')) // 2

        for name, keys in ROWS:
            with self.subTest(name):
                self.press(self.twin, 'ctrl+Home', *keys)
                anchor, caret = self.twin_state()
                expected = self.read_back(self.twin, anchor, caret, size)
                self.press(self.window, 'ctrl+Home', *keys)
                self.assertEqual(self.read_back(self.window, anchor, caret, size), expected, ' '.join(keys))


if __name__ == '__main__':
    unittest.main(verbosity=2)
