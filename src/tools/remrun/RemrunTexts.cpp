#include "tools/remrun/RemrunTexts.h"

#include <array>
#include <cstddef>
#include <utility>

namespace remrun {
namespace {

using Entry = std::pair<RemrunText, const char*>;

// Kept in the order of the enumeration; the check below keeps it so.
constexpr std::array<Entry, static_cast<std::size_t>(RemrunText::TEXT_COUNT)> kTexts{{
    {RemrunText::SHORT_USAGE, "This program must be run under VX Strovane Manager\n"},
    {RemrunText::LONG_USAGE_HEAD, "usage: remrun host [-l username] [-v] [-h] command\n\n"},
    {RemrunText::USAGE_LINE, "   %-13s-- %s\n"},
    {RemrunText::USAGE_HOST_NAME, "host"},
    {RemrunText::USAGE_HOST, "Specifies the remote host on which to run \"command\"."},
    {RemrunText::USAGE_USER_NAME, "-l username"},
    {RemrunText::USAGE_USER, "Specifies the user name to use on the remote host."},
    {RemrunText::USAGE_CONTINUED_NAME, ""},
    {RemrunText::USAGE_USER_DEFAULT, "If omitted, the logon user name is passed to \"host\"."},
    {RemrunText::USAGE_VERSION_NAME, "-v"},
    {RemrunText::USAGE_VERSION, "Display version information."},
    {RemrunText::USAGE_HELP_NAME, "-h"},
    {RemrunText::USAGE_HELP, "Display this usage information."},
    {RemrunText::USAGE_COMMAND_NAME, "command"},
    {RemrunText::USAGE_COMMAND, "Specifies the command to run on the host."},
    {RemrunText::VERSION_FORMAT, "\n%s, version %d.%d\n%s\n"},
    {RemrunText::VERSION_TITLE, "remrun - VX Strovane Manager authorization utility"},
    {RemrunText::VERSION_NOTE, "Runs one command through the remote host's shell service."},
    {RemrunText::OPTION_IGNORED, "Passed option \"%s\" ignored...\n"},
    {RemrunText::DEBUG_TEXT, "DEBUG: %s\n"},
    {RemrunText::DEBUG_NUMBER, "DEBUG: %s %d\n"},
    {RemrunText::DEBUG_ARGUMENT, "DEBUG: argv[%d] = %s\n"},
    {RemrunText::ERROR_HEAD, "** ERROR: %s\n** "},
    {RemrunText::ERROR_ALONE, "** ERROR: %s\n"},
    {RemrunText::ERROR_WINSOCK, "Winsock error: "},
    {RemrunText::ERROR_NUMBER, "%d.\n"},
    {RemrunText::HOST_UNKNOWN, "Hostname \"%s\" invalid or unknown"},
    {RemrunText::NO_SHELL_PORT, "Failed to determine port number for the remrun client."},
    {RemrunText::NO_MAIN_SOCKET, "Failed to allocate socket for the remrun client."},
    {RemrunText::MAIN_KEEPALIVE, "Failed to set SO_KEEPALIVE\n"},
    {RemrunText::MAIN_LINGER, "Failed to set SO_LINGER\n"},
    {RemrunText::NO_ERROR_SOCKET, "Failed to create stderr socket"},
    {RemrunText::ERROR_KEEPALIVE, "Failed to set SO_KEEPALIVE"},
    {RemrunText::ERROR_LINGER, "Unable to set SO_LINGER"},
    {RemrunText::ERROR_LISTEN, "Unable to listen on socket"},
    {RemrunText::CONNECT_FAILED, "Unable to connect to RSH port\n"},
    {RemrunText::THREAD_FAILED, "Failed to start client thread..."},
    {RemrunText::SEND_FAILED, "Error in send of command."},
    {RemrunText::ERROR_ACCEPT, "Error connecting to the stderr server port"},
    {RemrunText::NO_LOGON_NAME, "Unable to determine the logon user name."},
    {RemrunText::RECEIVE_FAILED, "Error receiving the output of the remote command."},
    {RemrunText::CLOSED_EARLY, "The remote host closed the connection before it answered."},
    {RemrunText::REMOTE_REFUSED, "The remote host refused to run the command."},
    {RemrunText::TRACE_VERSION, "Verifying winsock.dll version..."},
    {RemrunText::TRACE_HOST, "Verifying hostname..."},
    {RemrunText::TRACE_MAIN_SOCKET, "Creating main socket..."},
    {RemrunText::TRACE_BINDING, "Creating and binding socket..."},
    {RemrunText::TRACE_BOUND, "Socket bound to"},
    {RemrunText::TRACE_NO_PROTOCOL, "Failed to obtain the protocol number; using default..."},
    {RemrunText::TRACE_MAIN_OPTIONS, "Setting options on the main socket..."},
    {RemrunText::TRACE_ERROR_SOCKET, "Creating error socket..."},
    {RemrunText::TRACE_ERROR_BOUND, "Error socket bound to"},
    {RemrunText::TRACE_ERROR_OPTIONS, "Setting options on the stderr socket..."},
    {RemrunText::TRACE_CONNECTING, "Connecting..."},
    {RemrunText::TRACE_THREAD, "Creating stderr client thread..."},
    {RemrunText::TRACE_SENDING, "Sending command: \"%s\", from user: \"%s\""},
    {RemrunText::TRACE_RECEIVING_OUTPUT, "Receiving stdout output..."},
    {RemrunText::TRACE_RECEIVING, "Receiving..."},
    {RemrunText::TRACE_RECEIVED, "...received %d chars.\n"},
    {RemrunText::TRACE_THREAD_STARTED, "stderr thread started..."},
    {RemrunText::TRACE_RECEIVING_ERRORS, "Receiving stderr output..."},
    {RemrunText::TRACE_CLOSING_ERROR, "Closing stderr socket..."},
    {RemrunText::TRACE_CLOSING_MAIN, "Closing main socket..."},
    {RemrunText::TRACE_LOGON_NAME, "Login user name = \"%s\""},
}};

constexpr bool InEnumOrder() {
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        if (static_cast<std::size_t>(kTexts[i].first) != i || kTexts[i].second == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(InEnumOrder(), "every text id has its text, in enumeration order");

}  // namespace

const char* Text(RemrunText id) {
    auto index = static_cast<std::size_t>(id);
    return index < kTexts.size() ? kTexts[index].second : "";
}

}  // namespace remrun
