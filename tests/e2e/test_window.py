import subprocess
import unittest

from harness import PATIENCE, E2ETestCase, Page, wait_for, px


class WindowTest(E2ETestCase):
    def test_window_appears_with_caption_and_client_size(self):
        window = self.start_app()
        self.assertEqual(self.client_size(window), (px(3375), px(2415)))

    def test_window_at_twice_the_scale(self):
        self.env['QT_SCALE_FACTOR'] = '2'
        window = self.start_app()
        self.assertEqual(self.client_size(window), (2 * px(3375), 2 * px(2415)))

    def test_connect_then_copy_gives_the_page(self):
        page = '<html>\r\n<body>Grüße 😀</body>\r\n</html>\r\n'.encode()
        self.server.pages['/page.html'] = Page(page)
        self.start_app()
        self.type_address(self.server.address('/page.html'))
        self.connect()
        self.copy_until(page)
        self.assertEqual(self.server.requests, ['/page.html'])
        self.assertNotIn('image/png', self.clipboard_targets())

    def test_enter_in_address_box_sends_nothing(self):
        self.server.pages['/x'] = Page(b'x')
        self.start_app()
        self.type_address(self.server.address('/x'))
        self.keys('Return')
        self.keys('KP_Enter')
        # Events run in order: once a Connect after the Enters has fetched, any fetch
        # an Enter had started would have reached the server first.
        self.fetch('/after', b'after')
        self.assertEqual(self.server.requests, ['/after'])

    def test_clear_then_copy_gives_empty_text(self):
        self.start_app()
        self.fetch('/p', b'<p>content</p>')
        self.menu('Up', 'Return')  # Clear, the last item
        self.copy_until(b'')

    def test_save_through_the_real_dialog(self):
        self.start_app()
        self.fetch('/save', '<p>日本語のページ 😀 saved ✓</p>\r\n'.encode())
        self.menu('Down', 'Down', 'Return')  # Save, past the separator
        dialog = self.wait_for_dialog('Save As')
        self.xdotool('windowactivate', '--sync', dialog)
        target = self.tmp + '/page'
        self.keys('ctrl+a')
        self.xdotool('type', '--delay', '5', target)
        self.keys('Return')
        wait_for(lambda: self.read(target + '.txt') == '<p>日本語のページ 😀 saved ✓</p>\r\n'.encode(), what='the saved file')

    def read(self, path):
        try:
            with open(path, 'rb') as f:
                return f.read()
        except OSError:
            return None

    def test_failed_fetch_shows_the_error_and_the_program_goes_on(self):
        self.start_app()
        self.type_address('127.0.0.1:1/')
        self.connect()
        self.answer_and_go_on('Return')
        self.assertIsNone(self.app.poll())
        self.fetch('/ok', b'still working')

    def test_close_asks_no_keeps_yes_ends(self):
        self.start_app()
        self.fetch('/kept', b'kept page')

        self.keys('alt+F4')
        self.answer_and_go_on('n')  # No
        self.copy_until(b'kept page')
        self.assertIsNone(self.app.poll())

        self.keys('alt+F4')
        self.answer('Return')  # Yes is the default
        self.assertEqual(self.app.wait(timeout=PATIENCE), 0)

    def test_yes_during_a_transfer_ends_at_once(self):
        self.server.pages['/slow'] = Page(b'too late', delay=30)
        self.start_app()
        self.type_address(self.server.address('/slow'))
        self.connect()
        wait_for(lambda: self.server.requests == ['/slow'], what='the request')
        self.keys('alt+F4')
        self.answer('Return')
        # Well before the page's 30 seconds: the program did not wait for it.
        self.assertEqual(self.app.wait(timeout=20), 0)

    def test_find_selects_the_match_for_the_primary_selection(self):
        self.start_app()
        self.fetch('/find', b'<p>one</p>\n<div class="needle">two</div>\n<p>a NEEDLE in a haystack</p>\n')
        self.keys('ctrl+f')
        self.xdotool('type', '--delay', '20', 'needle')
        # Typing found the first match; Enter goes on to the next, ignoring case.
        self.keys('Return')
        wait_for(lambda: self.primary_selection() == b'NEEDLE', what='the second match in the primary selection')
        self.keys('Escape')
        self.keys('ctrl+c')
        wait_for(lambda: self.clipboard() == b'NEEDLE', what='the match on the clipboard')

    def primary_selection(self):
        result = subprocess.run(['xclip', '-selection', 'primary', '-o'], env=self.env, capture_output=True, timeout=10)
        return result.stdout if result.returncode == 0 else None


if __name__ == '__main__':
    unittest.main(verbosity=2)
