#include "client/OruSubsystem.h"

#include "client/OruSubsystemList.h"
#include "coresys/common/CodedBuff.h"

OruSubsystem::OruSubsystem() {
    serverAddress.sin_family = AF_INET;
}

DATAGRAM_STATUS OruSubsystem::SendMsg(void* body, unsigned long length) {
    if (list == nullptr) {
        CodedBuff::FreeData(static_cast<unsigned char*>(body));
        return DATAGRAM_NONE;
    }
    return list->SendMsg(this, body, length);
}

int OruSubsystem::MakeSecure(const char* fileId) {
    if (list == nullptr) {
        secure = 0;
        return 0;
    }
    return list->MakeSecure(this, fileId);
}
