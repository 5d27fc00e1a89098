// Printing of failed requests on standard error (or the stream given):
// a message chosen by request and qualifier, the array's sense data or an
// OEM text where the reply carries one, and the generic print of the reply
// kind with the error record in words.
//
// The printers read a reply through ReplyView: its kind and, for error
// replies, its error record. They keep no pointer to it.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string_view>

#include "cli/common/CommandDescriptorTable.h"
#include "coresys/common/oruerr.h"

class PollMsg;

struct ReplyView {
    std::uint32_t kind = 0;
    const oruerr* error = nullptr;  // nullptr: the reply carries no record

    // The kind of a poll result and, when it is an error result, its record.
    static ReplyView Of(const PollMsg& reply);
};

// The generic print of a reply that was not the expected kind, after the
// qualified message: the kind's name and, for error replies, the detail.
// Without -V a reply the qualified message handled prints nothing more.
void PrintCommandError(bool verbose, const ReplyView& reply, std::uint32_t code,
                       std::span<const CommandArgument> arguments, std::ostream& out);

// The message chosen for an error reply by its sense data, its OEM text,
// its error code or the table of request codes and qualifiers. Returns
// whether the reply is handled (nothing more to print); with -V never.
bool PrintQualifiedError(bool verbose, const ReplyView& reply, std::uint32_t code,
                         std::span<const CommandArgument> arguments, std::ostream& out);

// The error record in words: code, qualifier, module, source, class and
// the further values, and the sense data of a class-1 error.
void PrintErrorDetail(const oruerr* error, std::ostream& out);

// The message of an OEM error (module SUBSYSTEM, class 3, OEM set and item
// both non-zero) from the OEM catalog named by the record's first field.
// Returns whether the OEM text was printed; when the catalog or the text is
// missing it prints the set and item instead and returns false. A record
// that is no OEM error prints nothing and returns false.
bool PrintOemMessage(const oruerr& error, std::ostream& out);

// Sense data as hexadecimal bytes (additional length + 8 of them, at most
// 64 and never more than the field holds) and its fields in words. Only
// fields among the bytes the sense data holds are printed. The stream's
// format flags are kept.
void PrintSenseData(std::string_view sense, std::ostream& out);

// The number of sense bytes the sense data holds: additional length + 8,
// bounded by what was received.
std::size_t SenseLength(std::string_view sense);

// The subsystem-list status and a new line.
void PrintListStatus(std::int32_t status, std::ostream& out);
// The session-status label, the status text and a new line.
void PrintSessionStatus(std::int32_t status, std::ostream& out);
