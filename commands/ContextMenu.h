#pragma once

class Clipboard;
class PageView;
class PopupMenu;
class StatusBar;

// The view's context menu opens on a right press, whatever keys are held.
void rchtxtHTML_MouseDown(int button, int shift, float x, float y, PopupMenu &popup);

// Copy puts the view's whole document on the clipboard as plain text, and nothing else.
void Copy_Click(Clipboard &clipboard, const PageView &rchtxtHTML);

// Clear empties the view, and the details of the document that was in it.
void Clear_Click(PageView &rchtxtHTML, StatusBar &sbrStatus);
