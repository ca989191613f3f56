#pragma once

class Clipboard;
class MessageBox;
class PageView;
class PopupMenu;
class Program;
class SaveDialog;

// The view's context menu opens on a right press, whatever keys are held.
void rchtxtHTML_MouseDown(int button, int shift, float x, float y, PopupMenu &popup);

// Copy puts the view's whole document on the clipboard as plain text, and nothing else.
void Copy_Click(Clipboard &clipboard, const PageView &rchtxtHTML);

void Clear_Click(PageView &rchtxtHTML);

// Save writes the view's text to a file chosen in the save dialog. A cancel writes
// nothing; a failed write says so, and the file that was there stays as it was.
void Save_Click(SaveDialog &CommonDialog1, const Program &program, PageView &rchtxtHTML, MessageBox &messageBox);
