// The service's command bookkeeping of one subsystem, sent with its state:
// the results of finished commands and the commands still running.
#pragma once

#include "coresys/common/CommandInProgressArray.h"
#include "coresys/common/CommandResultsArray.h"
#include "coresys/common/OruXdr.h"

class OruServerState : public OruXdr {
  public:
    CommandResultsArray commandResults;
    CommandInProgressArray commandsInProgress;

    // Wire: the results list, then the in-progress list.
    void Encode(CodedBuff& buff) override;
    // Decodes both lists aside; on failure the buffer is marked failed and
    // both lists are left as they were.
    void Decode(CodedBuff& buff) override;
};
