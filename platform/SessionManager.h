#pragma once

// The desktop session, as it asks the program whether the session may end.
class SessionManager
{
public:
    virtual ~SessionManager() = default;
    virtual bool allowsInteraction() = 0;
    virtual void cancel() = 0;
    virtual void release() = 0;
};
