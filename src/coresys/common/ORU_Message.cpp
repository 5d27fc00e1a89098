#include "coresys/common/ORU_Message.h"

#include <cstring>

ORU_Message::ORU_Message(std::uint32_t initialLength, std::uint32_t msgCode,
                         std::uint32_t msgVersion, const CommandHandle& msgHandle)
    : length(initialLength), version(msgVersion), code(msgCode), handle(msgHandle) {}

unsigned char* ORU_Message::EncodeMsg() {
    if (buff.owns != 0) {
        // A second encode of the same object starts afresh.
        CodedBuff::FreeData(buff.data);
    }
    buff.Setup(version);
    if (length > buff.size && length <= kMaxPresize) {
        // The length estimate sizes the buffer up front: one growth instead
        // of one per block for a large reply.
        buff.NextItem(length);
        buff.position = 0;
    }
    EncodeVal(buff, length);
    EncodeVal(buff, version);
    EncodeVal(buff, code);
    EncodeVal(buff, handle.sequence);
    EncodeVal(buff, handle.sessionID);
    EncodeBody(buff);
    return FinishLength();
}

unsigned char* ORU_Message::FinishLength() {
    buff.ValidateLength();
    const std::uint32_t coded = buff.position;
    const std::uint32_t rounded = (coded + 3u) & ~3u;
    if (rounded > coded) {
        // Growth and reuse of a block leave old bytes behind; pad goes out as
        // zeros whatever the buffer held.
        std::memset(buff.NextItem(rounded - coded), 0, rounded - coded);
    }
    length = rounded;
    buff.position = 0;
    EncodeVal(buff, length);
    buff.position = rounded;
    return buff.TakeData();
}

bool ORU_Message::DecodeMsg(unsigned char* data, std::uint32_t frameLength) {
    buff.SetupDecode(data, frameLength, version);
    DecodeVal(buff, length);
    DecodeVal(buff, version);
    DecodeVal(buff, code);
    DecodeVal(buff, handle.sequence);
    DecodeVal(buff, handle.sessionID);
    if (buff.Failed() || length < kHeaderLength || length > frameLength) {
        // A header that claims more than arrived is a lie: drop the message
        // rather than decode a body that belongs to nobody.
        buff.Fail();
        return false;
    }
    // Bytes after the header's length are not part of this message.
    buff.size = length;
    // Every record after the header follows the sender's version.
    buff.version = version;
    DecodeBody(buff);
    return !buff.Failed();
}
