// The result of one finished command, kept by the service for every client
// of the subsystem to see.
#pragma once

#include <cstdint>
#include <memory>

#include "coresys/common/CommandTypes.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruXdr.h"
#include "coresys/common/oruerr.h"

class CommandResults : public OruXdr {
  public:
    static constexpr std::uint32_t kMinWireSize = 3 * 4 + oruerr::kMinWireSize;

    COMMAND_TYPE type = COMMAND_RESULTS;
    MESSAGE_CODE code = MC_NONE;
    std::int32_t result = 0;
    oruerr error;

    CommandResults() = default;
    // A null error leaves the default error record.
    CommandResults(COMMAND_TYPE t, MESSAGE_CODE c, std::int32_t r, const oruerr* err);

    // Wire: type, code, result, error. Subclasses append their own fields.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // A copy of the same kind.
    virtual std::unique_ptr<CommandResults> Clone() const {
        return std::make_unique<CommandResults>(*this);
    }
    // Takes every field of other; the fields of a subclass only when other
    // is of the same class.
    virtual void Assign(const CommandResults& other) { *this = other; }

    // A fresh, empty result of the given kind; nullptr for an unknown kind.
    static std::unique_ptr<CommandResults> Create(std::uint32_t kind);
};
