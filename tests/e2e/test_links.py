import subprocess
import unittest

from harness import E2ETestCase, Page, wait_for, px

# The stylesheet's address has a line of its own, from the view's first column, so that
# a click a little way into the second line lands on it whatever the font.
ADDRESS = '/style.css?v=20261207-0123456789abcdef0123456789abcdef'
PAGE = ('<link rel="stylesheet" href="\n%s">\n<p>Styled</p>\n' % ADDRESS).encode()
SHEET = b'p { color: #336; background: url(paper.png) }\n'


class LinksTest(E2ETestCase):
    def test_follow_a_stylesheet_link_and_come_back(self):
        self.server.pages['/style.css'] = Page(SHEET, content_type='text/css')
        self.server.pages[ADDRESS] = Page(SHEET, content_type='text/css')
        self.start_app()
        self.fetch('/page.html', PAGE)

        # The second line of the view: its top is the view's (px 24) plus a line.
        self.click(1500, 720)
        self.copy_until(SHEET)
        self.assertEqual(self.server.requests[-1], ADDRESS)

        # Back on the page, the caret is where the click left it: inside the address.
        self.keys('alt+Left')
        self.copy_until(PAGE)
        self.keys('shift+End')
        rest = wait_for(self.primary_selection, what='the rest of the line in the primary selection')
        line = (ADDRESS + '">').encode()
        self.assertTrue(line.endswith(rest) and 2 < len(rest) < len(line), rest)

        # Enter follows the link the caret is in.
        self.keys('Left', 'Return')
        self.copy_until(SHEET)
        self.assertEqual(self.server.requests.count(ADDRESS), 2)

    def primary_selection(self):
        result = subprocess.run(['xclip', '-selection', 'primary', '-o'], env=self.env, capture_output=True, timeout=10)
        return result.stdout if result.returncode == 0 else None


if __name__ == '__main__':
    unittest.main(verbosity=2)
