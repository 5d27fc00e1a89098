#include "coresys/server/state/OruErrRecords.h"

#include <cstring>

oruerr MakeOruErr(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t moduleId) {
    oruerr record;
    record.errorCode = errorCode;
    record.qualifier = qualifier;
    record.moduleId = moduleId;
    return record;
}

oruerr MakeOruErr(const oruerr& from, std::uint32_t errorCode, std::uint32_t qualifier,
                  std::uint32_t moduleId) {
    oruerr record(from);  // the extra bytes are copied into the record's own vector
    record.errorCode = errorCode;
    record.qualifier = qualifier;
    record.moduleId = moduleId;
    return record;
}

oruerr OruErrFromResult(const ScsiResult& result) {
    oruerr record;
    record.source = result.kindTag;
    record.errorClass = result.lunSetChanged ? kErrorClassLunSetChanged : result.result;
    record.detail = result.status;
    record.senseValid = result.senseLength;
    static_assert(sizeof record.text == sizeof result.sense, "sense fills the text field");
    std::memcpy(record.text, result.sense, sizeof record.text);
    record.oemSet = result.reason;
    record.oemItem = result.valid;
    return record;
}
