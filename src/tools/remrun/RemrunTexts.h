// The texts remrun prints: one table, looked up by id.
//
// Texts marked "format" are printf formats; the others are printed as they
// stand. Every id has a text; Text() never returns null.
#pragma once

namespace remrun {

enum class RemrunText {
    SHORT_USAGE,      // "This program must be run under ..."
    LONG_USAGE_HEAD,  // first line and blank line of -h
    USAGE_LINE,       // format: name, text
    USAGE_HOST_NAME,
    USAGE_HOST,
    USAGE_USER_NAME,
    USAGE_USER,
    USAGE_CONTINUED_NAME,  // the blank name of a second line
    USAGE_USER_DEFAULT,
    USAGE_VERSION_NAME,
    USAGE_VERSION,
    USAGE_HELP_NAME,
    USAGE_HELP,
    USAGE_COMMAND_NAME,
    USAGE_COMMAND,
    VERSION_FORMAT,  // format: title, major, minor, third line
    VERSION_TITLE,
    VERSION_NOTE,
    OPTION_IGNORED,  // format: option
    DEBUG_TEXT,      // format: text
    DEBUG_NUMBER,    // format: text, number
    DEBUG_ARGUMENT,  // format: index, argument
    ERROR_HEAD,      // format: message
    ERROR_ALONE,     // format: message (no socket error to tell)
    ERROR_WINSOCK,   // "Winsock error: "
    ERROR_NUMBER,    // format: code
    // Failures
    HOST_UNKNOWN,  // format: host
    NO_SHELL_PORT,
    NO_MAIN_SOCKET,
    MAIN_KEEPALIVE,
    MAIN_LINGER,
    NO_ERROR_SOCKET,
    ERROR_KEEPALIVE,
    ERROR_LINGER,
    ERROR_LISTEN,
    CONNECT_FAILED,
    THREAD_FAILED,
    SEND_FAILED,
    ERROR_ACCEPT,
    NO_LOGON_NAME,
    RECEIVE_FAILED,
    CLOSED_EARLY,
    REMOTE_REFUSED,
    // Debug trace
    TRACE_VERSION,
    TRACE_HOST,
    TRACE_MAIN_SOCKET,
    TRACE_BINDING,
    TRACE_BOUND,
    TRACE_NO_PROTOCOL,
    TRACE_MAIN_OPTIONS,
    TRACE_ERROR_SOCKET,
    TRACE_ERROR_BOUND,
    TRACE_ERROR_OPTIONS,
    TRACE_CONNECTING,
    TRACE_THREAD,
    TRACE_SENDING,  // format: command, user
    TRACE_RECEIVING_OUTPUT,
    TRACE_RECEIVING,
    TRACE_RECEIVED,  // format: count
    TRACE_THREAD_STARTED,
    TRACE_RECEIVING_ERRORS,
    TRACE_CLOSING_ERROR,
    TRACE_CLOSING_MAIN,
    TRACE_LOGON_NAME,  // format: name
    TEXT_COUNT
};

const char* Text(RemrunText id);

}  // namespace remrun
