// Frames of the socket device: one request frame per command from the host,
// one reply frame back from strovsim. Layout (big-endian, documented in
// docs/controller-interface.md, section "Transport"):
//
// request  0..3  body length L (bytes after this field) = 28 + data-out length
//          4     operation (1 GET_ADDRESS, 2 GET_CAPABILITIES, 3 PASS_THROUGH)
//          5     direction (0 none, 1 out, 2 in)
//          6     CDB length (0..16; 1..16 for PASS_THROUGH)
//          7     0
//          8..11 transfer length (at most 1 MiB)
//          12..15 time-out, seconds
//          16..31 CDB, unused bytes 0
//          32..  data-out: exactly the transfer length when direction is out, else none
// reply    0..3  body length L = 16 + sense length + data-in length
//          4     operation (echo)
//          5     SCSI status
//          6     sense length (0..255)
//          7     0
//          8..11 system error (0: the command reached the device)
//          12..15 bytes moved
//          16..19 data-in length D (0, or equal to bytes moved; at most 1 MiB)
//          20..  sense bytes, then D data-in bytes
// GET_ADDRESS answers its 8 bytes and GET_CAPABILITIES its 24 bytes as data-in.
//
// Decoding checks every length against the bytes received before use and
// refuses a frame whose body is longer than the largest legal one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/scsi/ScsiDevice.h"

namespace platform {

enum class ScsiWireOp : std::uint8_t { GetAddress = 1, GetCapabilities = 2, PassThrough = 3 };

enum class ScsiWireStatus {
    Ok = 0,
    Short,           // fewer bytes than the fixed part or than a stated length
    TooLong,         // body over the largest legal size
    BadField,        // operation, direction, CDB length or reserved byte out of range
    LengthMismatch,  // stated lengths disagree with each other or with the frame
};

struct ScsiWireRequest {
    ScsiWireOp op = ScsiWireOp::PassThrough;
    ScsiDirection direction = ScsiDirection::None;
    std::uint8_t cdbLength = 0;
    std::uint32_t transferLength = 0;
    std::uint32_t timeoutSeconds = 0;
    std::array<std::uint8_t, kScsiMaxCdb> cdb{};
    std::vector<std::uint8_t> dataOut;
};

struct ScsiWireReply {
    ScsiWireOp op = ScsiWireOp::PassThrough;
    std::int32_t systemError = 0;
    std::uint8_t scsiStatus = 0;
    std::uint32_t bytesMoved = 0;
    std::vector<std::uint8_t> sense;  // at most 255 bytes
    std::vector<std::uint8_t> dataIn;
};

class ScsiWire {
  public:
    static constexpr std::uint32_t kLengthField = 4;
    static constexpr std::uint32_t kRequestFixed = 28;  // body bytes before data-out
    static constexpr std::uint32_t kReplyFixed = 16;    // body bytes before sense
    static constexpr std::uint32_t kMaxRequestBody = kRequestFixed + kScsiMaxTransfer;
    static constexpr std::uint32_t kMaxReplyBody = kReplyFixed + kScsiMaxSense + kScsiMaxTransfer;

    // Encoders produce a whole frame, length field included. They return
    // BadField / TooLong for a message that breaks the limits above (the
    // frame is then left empty).
    static ScsiWireStatus EncodeRequest(const ScsiWireRequest& request,
                                        std::vector<std::uint8_t>& frame);
    static ScsiWireStatus EncodeReply(const ScsiWireReply& reply, std::vector<std::uint8_t>& frame);

    // The head of a reply frame: its length field and fixed part.
    static constexpr std::uint32_t kReplyHead = kLengthField + kReplyFixed;

    // The reply frame up to its data-in (head and sense), with EncodeReply's
    // checks; the data-in goes after it on the wire (WriteFrameParts), so a
    // large reply is never copied into a frame of its own.
    static ScsiWireStatus EncodeReplyHead(const ScsiWireReply& reply,
                                          std::vector<std::uint8_t>& head);

    // Checks the first kReplyHead bytes of a reply frame as DecodeReply does
    // and fills op, status, system error and bytes moved; *senseLength and
    // *dataLength receive the sense and data-in lengths that follow, which
    // together with the fixed part account for the body exactly.
    static ScsiWireStatus DecodeReplyHead(std::span<const std::uint8_t> head, ScsiWireReply& reply,
                                          std::uint32_t* senseLength, std::uint32_t* dataLength);

    // Decoders take a whole frame, length field included, and read only
    // within it. On any status but Ok the output is unspecified.
    static ScsiWireStatus DecodeRequest(std::span<const std::uint8_t> frame,
                                        ScsiWireRequest& request);
    static ScsiWireStatus DecodeReply(std::span<const std::uint8_t> frame, ScsiWireReply& reply);

    // Reads one whole frame from a stream socket into frame. A body longer
    // than maxBody is refused (EMSGSIZE) without reading it. timeoutMs < 0
    // waits without limit. Returns 0, ECONNRESET when the peer closed
    // (also mid-frame), ETIMEDOUT, or the system error.
    static int ReadFrame(int fd, std::uint32_t maxBody, int timeoutMs,
                         std::vector<std::uint8_t>& frame);

    // Reads exactly n bytes, waiting at most until deadlineMs (a
    // platform::MonotonicMs value; 0 waits without limit). Each read blocks
    // in the kernel, so with a deadline the socket must carry a receive
    // time-out (SetReceiveTimeout) no longer than the wait wanted: the
    // deadline is checked whenever a read comes back without data. Returns
    // 0, ECONNRESET when the peer closed, ETIMEDOUT, or the system error.
    static int ReadExact(int fd, std::uint8_t* to, std::size_t n, std::uint64_t deadlineMs);
    // Sets the socket's receive time-out (SO_RCVTIMEO). Returns 0 or errno.
    static int SetReceiveTimeout(int fd, int timeoutMs);

    // Writes all bytes of a frame (no SIGPIPE). Returns 0 or the system error.
    static int WriteFrame(int fd, std::span<const std::uint8_t> frame);
    // Writes one frame given in two consecutive parts.
    static int WriteFrameParts(int fd, std::span<const std::uint8_t> first,
                               std::span<const std::uint8_t> second);
};

}  // namespace platform
