#pragma once

class MessageBox;
class PageView;
class Program;
class SaveDialog;

// Save writes the view's text to a file chosen in the save dialog. A cancel writes
// nothing; a failed write says so, and the file that was there stays as it was.
void Save_Click(SaveDialog &CommonDialog1, const Program &program, PageView &rchtxtHTML, MessageBox &messageBox);
