// One SCSI command block: the CDB, the data buffer and how to move it.
//
// The storage command routines build one, the executor runs it through the
// pass-through, and the routine decodes its data. The data buffer starts
// filled with 0xFF so bytes the device did not send are recognisable. Every
// accessor is bounded: an offset outside the buffer reads 0 and writes
// nothing, so a decoder driven by lengths from the device cannot leave the
// buffer.
#pragma once

#include <cstdint>
#include <vector>

class ScsiCommand {
  public:
    // direction values
    static constexpr std::uint32_t kNoData = 0;
    static constexpr std::uint32_t kDataOut = 1;
    static constexpr std::uint32_t kDataIn = 2;
    // residual values
    static constexpr std::uint32_t kResidualNone = 0;
    static constexpr std::uint32_t kResidualMore = 1;
    static constexpr std::uint32_t kResidualShort = 2;
    // The largest data buffer a command may carry (the transport's limit).
    static constexpr std::uint32_t kMaxDataLength = 1u << 20;

    // cdbSize: CDB buffer size (12 or 16). dataLength above kMaxDataLength is
    // cut to it.
    ScsiCommand(std::uint32_t cdbSize, std::uint32_t dataLength, std::uint32_t direction,
                std::uint32_t timeout, std::uint8_t lun, std::uint32_t option);

    ScsiCommand(const ScsiCommand&) = delete;
    ScsiCommand& operator=(const ScsiCommand&) = delete;

    // Pointer to the data at offset, or nullptr when offset is outside it.
    unsigned char* DataAt(std::uint32_t offset);
    const unsigned char* DataAt(std::uint32_t offset) const;
    // One data byte; 0 outside the buffer.
    unsigned char DataByte(std::uint32_t offset) const;
    // Big-endian values of the data; 0 when any byte is outside the buffer.
    std::uint32_t DataBe16(std::uint32_t offset) const;
    std::uint32_t DataBe32(std::uint32_t offset) const;
    void SetDataByte(std::uint32_t offset, unsigned char value);
    void SetCdbByte(std::uint8_t index, unsigned char value);
    // Stores value big-endian in count CDB bytes from index.
    void SetCdbValue(std::uint8_t index, std::uint32_t value, std::uint8_t count);

    unsigned char* Cdb() { return cdb_.data(); }
    const unsigned char* Cdb() const { return cdb_.data(); }
    std::uint32_t CdbSize() const { return static_cast<std::uint32_t>(cdb_.size()); }
    unsigned char* Data() { return data_.empty() ? nullptr : data_.data(); }
    const unsigned char* Data() const { return data_.empty() ? nullptr : data_.data(); }

    std::uint8_t cdbLength = 0;    // bytes of the CDB actually sent (6, 10 or 12)
    std::uint32_t dataLength = 0;  // bytes to transfer (the buffer's size)
    std::uint32_t residual = 0;    // after execution: 0 all moved, 2 fewer, 1 more
    std::uint32_t direction = kNoData;
    std::uint32_t timeout = 0;  // seconds
    std::uint8_t lun = 0;
    std::uint32_t option = 0;      // routine-specific word
    std::uint32_t bytesMoved = 0;  // after execution: data bytes the device moved

  private:
    std::vector<unsigned char> cdb_;
    std::vector<unsigned char> data_;
};
