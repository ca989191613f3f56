#pragma once

#include <QString>

class MessageBox;
class PageView;
class Program;
class SaveDialog;

// Where the save dialog opens: the program's own folder when the user may save there
// (a build folder, a portable copy), otherwise the documents folder.
QString saveFolder(const Program &program);

// Save writes the view's text to a file chosen in the save dialog. A cancel writes
// nothing; a failed write says so, and the file that was there stays as it was.
void Save_Click(SaveDialog &CommonDialog1, const Program &program, PageView &rchtxtHTML, MessageBox &messageBox);
