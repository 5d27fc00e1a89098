// Exit codes shared by every command-line program.
#pragma once

enum CLI_EXIT_CODE : int {
    CLI_EXIT_SUCCESS = 0,   // done; also after "-?" printed the help
    CLI_EXIT_FAILED = 1,    // no connection, an error reply not of class 7, no catalog
    CLI_EXIT_USAGE = 2,     // bad command line, array not found
    CLI_EXIT_NO_REPLY = 3,  // subsystem list not good, or no reply in time
    CLI_EXIT_CLASS7 = 4,    // an error reply of class 7
};

// The class of an error record that makes a failed request end with
// CLI_EXIT_CLASS7.
inline constexpr unsigned kClass7ErrorClass = 7;
