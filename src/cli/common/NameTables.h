// Numbers from the service turned into names and words: the symbolic names
// of error codes, qualifiers, module ids, reply kinds and list statuses, and
// the catalog words (set 9) for session statuses, error classes, error
// sources and sense keys. A value outside a table gives the catalog text
// that shows the number.
#pragma once

#include <cstdint>
#include <string>

std::string ErrorCodeText(std::uint32_t code);
std::string QualifierText(std::uint32_t qualifier);
std::string ModuleIdText(std::uint32_t moduleId);
std::string MessageKindText(std::uint32_t kind);
// ASL_STATUS of the subsystem list.
std::string ListStatusText(std::int32_t status);
// SESSION_STATUS of a connection, without the leading label.
std::string SessionStatusText(std::int32_t status);
// The class field of an error record.
std::string ErrorClassText(std::uint32_t errorClass);
// The source field of an error record.
std::string ErrorSourceText(std::uint32_t source);
// A SCSI sense key (the low four bits of sense byte 2).
std::string SenseKeyText(std::uint32_t senseKey);
