#pragma once

class MessageBox;
class Program;
class SessionManager;

// Asks before the window closes. Returns the cancel flag: true keeps the window open.
bool Form_Unload(MessageBox &messageBox, Program &program);

// The desktop session is ending: the same question, where the session lets us ask.
void sessionEnding(SessionManager &session, MessageBox &messageBox, Program &program);
