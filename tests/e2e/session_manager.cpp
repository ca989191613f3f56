// A minimal X session manager for the end-to-end tests. It prints the address for
// SESSION_MANAGER, then reports what its one client does, a line per event. A line
// "shutdown" on standard input asks the client whether the session may end.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

SmsConn client = nullptr;
std::vector<IceConn> connections;

void say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void ignoreIoError(IceConn) {}

Bool acceptHost(char *)
{
    return True;
}

Status onRegister(SmsConn conn, SmPointer, char *)
{
    client = conn;
    char *id = SmsGenerateClientID(conn);
    SmsRegisterClientReply(conn, id);
    free(id);
    say("registered");
    return 1;
}

void onInteractRequest(SmsConn conn, SmPointer, int)
{
    say("interact-request");
    SmsInteract(conn);
}

void onInteractDone(SmsConn conn, SmPointer, Bool cancelShutdown)
{
    say(cancelShutdown ? "interact-done cancel" : "interact-done continue");
    if (cancelShutdown)
        SmsShutdownCancelled(conn);
}

void onSaveYourselfDone(SmsConn conn, SmPointer, Bool success)
{
    say(success ? "save-done" : "save-failed");
    SmsSaveComplete(conn);
}

void onSetProperties(SmsConn, SmPointer, int count, SmProp **props)
{
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(props[i]->name, SmRestartStyleHint) == 0 && props[i]->num_vals > 0) {
            const auto *value = static_cast<unsigned char *>(props[i]->vals[0].value);
            say("restart-style " + std::to_string(value ? value[0] : -1));
        }
        SmFreeProperty(props[i]);
    }
    free(props);
}

void onClose(SmsConn conn, SmPointer, int count, char **reasons)
{
    SmFreeReasons(count, reasons);
    say("closed");
    if (conn == client)
        client = nullptr;
    SmsCleanUp(conn);
}

void ignoreSaveRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void ignorePhase2(SmsConn, SmPointer) {}
void ignoreDelete(SmsConn, SmPointer, int count, char **names)
{
    for (int i = 0; i < count; ++i)
        free(names[i]);
    free(names);
}
void answerGet(SmsConn conn, SmPointer)
{
    SmsReturnProperties(conn, 0, nullptr);
}

Status onNewClient(SmsConn, SmPointer, unsigned long *mask, SmsCallbacks *callbacks, char **)
{
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
            | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
            | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
            | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = onRegister;
    callbacks->interact_request.callback = onInteractRequest;
    callbacks->interact_done.callback = onInteractDone;
    callbacks->save_yourself_request.callback = ignoreSaveRequest;
    callbacks->save_yourself_phase2_request.callback = ignorePhase2;
    callbacks->save_yourself_done.callback = onSaveYourselfDone;
    callbacks->close_connection.callback = onClose;
    callbacks->set_properties.callback = onSetProperties;
    callbacks->delete_properties.callback = ignoreDelete;
    callbacks->get_properties.callback = answerGet;
    return 1;
}

} // namespace

int main()
{
    // A client that goes away is one event among others, not the end of the manager.
    IceSetIOErrorHandler(ignoreIoError);
    char error[256] = {};
    if (!SmsInitialize("vellumin-tests", "1.0", onNewClient, nullptr, acceptHost, sizeof error, error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int count = 0;
    IceListenObj *listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    // Only the local socket is announced: nothing here talks over the network.
    std::string address;
    for (int i = 0; i < count; ++i) {
        IceSetHostBasedAuthProc(listeners[i], acceptHost);
        char *id = IceGetListenConnectionString(listeners[i]);
        if (std::strncmp(id, "local/", 6) == 0 && address.empty())
            address = id;
        free(id);
    }
    say(address);

    while (true) {
        std::vector<pollfd> fds;
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        for (int i = 0; i < count; ++i)
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        for (IceConn conn : connections)
            fds.push_back({IceConnectionNumber(conn), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;

        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char line[64] = {};
            if (!std::fgets(line, sizeof line, stdin))
                return 0;
            if (std::strncmp(line, "shutdown", 8) == 0 && client) {
                SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleAny, False);
                say("asked");
            }
        }
        for (int i = 0; i < count; ++i) {
            if (!(fds[1 + i].revents & POLLIN))
                continue;
            IceAcceptStatus status;
            IceConn conn = IceAcceptConnection(listeners[i], &status);
            if (!conn)
                continue;
            while (IceConnectionStatus(conn) == IceConnectPending)
                IceProcessMessages(conn, nullptr, nullptr);
            if (IceConnectionStatus(conn) == IceConnectAccepted)
                connections.push_back(conn);
            else
                IceCloseConnection(conn);
        }
        for (size_t i = 0; i < connections.size(); ++i) {
            if (!(fds[1 + count + i].revents & (POLLIN | POLLHUP)))
                continue;
            if (IceProcessMessages(connections[i], nullptr, nullptr) == IceProcessMessagesIOError) {
                IceSetShutdownNegotiation(connections[i], False);
                IceCloseConnection(connections[i]);
                connections.erase(connections.begin() + long(i));
                say("disconnected");
                break;
            }
        }
    }
}
