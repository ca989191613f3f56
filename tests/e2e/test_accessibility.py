"""The program as a screen reader sees it: over the accessibility bus, events and all.

Run under dbus-run-session: the session bus starts at-spi2-core's accessibility bus
and registry when asked, and this test listens to the program as Orca does.
"""
import os
import unittest
import warnings

import gi
gi.require_version('Atspi', '2.0')
from gi.repository import GLib  # noqa: E402
import pyatspi  # noqa: E402

from harness import E2ETestCase, Page, wait_for  # noqa: E402

# pyatspi's own calls into libatspi are deprecated there; nothing this test can change.
warnings.simplefilter('ignore', DeprecationWarning)

# How much of the view's text is read at once: a reader never asks for a whole page.
READ_LIMIT = 200
VIEW = 'Page source'
STAGES = {'please wait...', 'resloving host...', 'host resloved...', 'connecting...', 'connected...',
          'requesting...', 'request sent...', 'receiving response...', 'response received...',
          'disconnecting...', 'complete!'}
LISTENED = ('object:text-changed:insert', 'object:text-changed:delete', 'object:text-caret-moved',
            'object:property-change:accessible-name', 'object:property-change:accessible-description')


def units(text):
    """Qt's bridge counts offsets in UTF-16 code units, as Qt's own text controls do."""
    return len(text.encode('utf-16-le')) // 2


def sliced(text, start, end):
    return text.encode('utf-16-le')[2 * start:2 * end].decode('utf-16-le')


def pump():
    """Delivers the events that have arrived from the bus."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def descendants(node, depth=0):
    if node is None or depth > 12:
        return
    yield node
    for i in range(node.childCount):
        yield from descendants(node.getChildAtIndex(i), depth + 1)


class Heard:
    """What the listener heard, kept as plain values when it arrived."""

    def __init__(self):
        self.events = []

    def __call__(self, event):
        try:
            role, name = event.source.getRole(), event.source.name
        except Exception:  # the source may be gone by now
            role, name = None, None
        data = event.any_data if isinstance(event.any_data, str) else None
        self.events.append((event.type, role, name, event.detail1, event.detail2, data))

    def of(self, kind, role, name=None):
        pump()
        return [e for e in self.events if e[0].startswith(kind) and e[1] == role and name in (None, e[2])]


class AccessibilityTest(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.assertIn('DBUS_SESSION_BUS_ADDRESS', os.environ, 'run this under dbus-run-session')
        self.env['QT_LINUX_ACCESSIBILITY_ALWAYS_ON'] = '1'
        # Listening before the program starts: it learns of the listeners as it starts.
        self.heard = Heard()
        pyatspi.Registry.registerEventListener(self.heard, *LISTENED)

    def tearDown(self):
        pyatspi.Registry.deregisterEventListener(self.heard, *LISTENED)
        super().tearDown()

    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == self.app.pid and app.childCount > 0:
                    return app
            except GLib.GError:
                pass
        return None

    def find(self, predicate, what):
        def found():
            for node in descendants(self.root):
                if predicate(node):
                    return node
            return None
        return wait_for(found, what=what)

    def named(self, name, *roles):
        return self.find(lambda n: n.name == name and n.getRole() in roles, 'an object named %r' % name)

    def read(self, view, start, end):
        self.assertLessEqual(end - start, READ_LIMIT)
        return view.queryText().getText(start, end)

    def test_connect_and_clear_as_a_screen_reader_follows_them(self):
        lines = ['<p>line %d of the page, Grüße 😀</p>' % i for i in range(2000)]
        page = '\r\n'.join(lines) + '\r\n'
        self.server.pages['/big.html'] = Page(page.encode())
        self.start_app()
        self.root = wait_for(self.application, what='the program on the accessibility bus')

        window = self.named('Vellumin by Orvak', pyatspi.ROLE_FRAME)
        self.assertEqual(window.getRole(), pyatspi.ROLE_FRAME)
        self.named('Address', pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
        self.named('Find', pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
        self.named('Go to line', pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
        status = self.find(lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR, 'the status bar')
        self.assertEqual(status.name, 'inactive')
        view = self.named(VIEW, pyatspi.ROLE_TEXT)

        self.type_address(self.server.address('/big.html'))
        self.connect()
        wait_for(lambda: status.name == 'complete!', what='the status bar to say "complete!"')
        text = view.queryText()
        wait_for(lambda: text.characterCount == units(page), what='the page in the view')

        # Each stage text was announced by the status bar's name (read when the
        # event arrives, so a quick stage may show as the next one).
        def announced():
            return [e[2] for e in self.heard.of('object:property-change:accessible-name', pyatspi.ROLE_STATUS_BAR)]
        wait_for(lambda: 'complete!' in announced(), what='"complete!" announced')
        self.assertGreaterEqual(len(announced()), 2, announced())
        self.assertLessEqual(set(announced()), STAGES, announced())

        # The new text was reported by its beginning, never the whole page.
        inserted = wait_for(lambda: self.heard.of('object:text-changed:insert', pyatspi.ROLE_TEXT, VIEW),
                            what='the text insertion')
        kind, _, _, start, length, data = inserted[-1]
        self.assertEqual(start, 0)
        self.assertGreater(length, 0)
        self.assertLessEqual(length, 1000)
        self.assertEqual(units(data), length)
        self.assertTrue(page.startswith(data), data[:80])

        # Bounded reads give back the page; lines are the document's, break included.
        self.assertEqual(self.read(view, 0, 40), sliced(page, 0, 40))
        first = units(lines[0]) + 2
        line, start, end = text.getTextAtOffset(first + 3, pyatspi.TEXT_BOUNDARY_LINE_START)
        self.assertEqual((line, start, end), (lines[1] + '\r\n', first, first + units(lines[1]) + 2))
        self.assertEqual(text.caretOffset, 0)

        # The keyboard moves the caret and selects; both are heard and read back.
        self.click(1500, 1200)
        self.keys('ctrl+Home')
        self.keys('shift+Down')
        wait_for(lambda: text.getNSelections() == 1 and text.getSelection(0) == (0, first),
                 what='the first line selected')
        self.assertEqual(text.caretOffset, first)
        wait_for(lambda: any(e[3] == first for e in self.heard.of('object:text-caret-moved', pyatspi.ROLE_TEXT, VIEW)),
                 what='the caret move heard')

        # The find field's count is announced as it changes.
        self.keys('ctrl+f')
        self.xdotool('type', '--delay', '5', 'line 7')
        wait_for(lambda: any(e[2] and ' of ' in e[2]
                             for e in self.heard.of('object:property-change:accessible-name', pyatspi.ROLE_LABEL)),
                 what='the find count announced')
        self.keys('Escape')

        # Clear: the text is reported gone, and the program goes on.
        before = len(self.heard.of('object:text-changed:delete', pyatspi.ROLE_TEXT, VIEW))
        self.menu('Up', 'Return')
        wait_for(lambda: text.characterCount == 0, what='the view to be empty')
        removed = wait_for(lambda: self.heard.of('object:text-changed:delete', pyatspi.ROLE_TEXT, VIEW)[before:],
                           what='the removal heard')
        self.assertLessEqual(removed[-1][4], 1000)
        self.assertEqual(self.read(view, 0, 10), '')
        self.assertIsNone(self.app.poll(), 'the program ended')
        self.assertEqual(status.name, 'complete!')

    def test_the_link_the_caret_is_on_is_told(self):
        page = '<p><a href="next.html">next</a> <a href="mailto:me@example.com">me</a></p>\n'
        self.server.pages['/links.html'] = Page(page.encode())
        self.start_app()
        self.root = wait_for(self.application, what='the program on the accessibility bus')
        view = self.named(VIEW, pyatspi.ROLE_TEXT)
        status = self.find(lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR, 'the status bar')
        self.type_address(self.server.address('/links.html'))
        self.connect()
        wait_for(lambda: status.name == 'complete!', what='the status bar to say "complete!"')
        wait_for(lambda: view.queryText().characterCount == len(page), what='the page in the view')

        def described(expected):
            wait_for(lambda: any(e[1] == pyatspi.ROLE_TEXT and view.description == expected
                                 for e in self.heard.of('object:property-change:accessible-description', pyatspi.ROLE_TEXT)),
                     what='the description %r' % expected)

        # Into the first link's address, by the keyboard: the address is told.
        self.click(1500, 1200)
        self.keys('ctrl+Home', *['Right'] * (page.index('next.html') + 2))
        described('Link: http://' + self.server.address('/next.html'))
        # On the mailto: address, why it is none; out of both, nothing.
        self.keys(*['Right'] * (page.index('mailto') - page.index('next.html')))
        described('Vellumin fetches http and https addresses only, not "mailto:" addresses.')
        self.keys('ctrl+Home')
        described('')


if __name__ == '__main__':
    unittest.main()
