// The log handle of one subsystem (or, with an empty serial number, of the
// service itself): stamps its records with the serial number and bundle
// and hands them to the write buffer pool. One subsystem's records are
// written by one task at a time; the pool serialises the rest.
#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <utility>

class LogBlockSource;
class WriteBufferPool;

class SubsysLog {
  public:
    // serial: up to 12 characters (nullptr or empty for the service's own
    // log). source: where readers of this log get their blocks (the log
    // manager).
    SubsysLog(const char* serial, WriteBufferPool* pool, LogBlockSource* source = nullptr);
    // Fatal while still open or with a bundle not ended.
    ~SubsysLog();
    SubsysLog(const SubsysLog&) = delete;
    SubsysLog& operator=(const SubsysLog&) = delete;

    // Writes one record (header and payload, its length word at byte 4).
    // bundle 0 makes it a bundle of one; otherwise the bundle must be open
    // here. time 0 stamps now. Answers (bundle ID, LRBA of the record).
    // Fatal for a length word below 60.
    std::pair<std::uint32_t, std::uint32_t> WriteRecord(const unsigned char* record,
                                                        std::uint32_t bundle = 0,
                                                        std::uint32_t time = 0);
    // Writes a bundle begin marker and answers the new bundle's ID.
    std::uint32_t CreateBundle();
    // Writes the bundle's end marker and forgets the bundle.
    void EndBundle(std::uint32_t bundle);
    // Sends the pool's current block to the Log Task.
    void Flush();

    void Open() { ++openCount_; }
    // One user fewer; fatal below 0.
    void Close();
    std::int32_t OpenCount() const { return openCount_; }
    // The 13 serial bytes (12 characters and a NUL).
    const char* Serial() const { return serial_; }
    // Where readers of this log get their blocks (nullptr: none).
    LogBlockSource* Source() const { return source_; }

  private:
    struct Bundle {
        std::uint32_t id;
        std::uint32_t latestLrba;
    };
    std::list<Bundle>::iterator LocateBundle(std::uint32_t bundle);
    std::uint32_t WriteMarker(std::uint16_t code, std::uint32_t bundle);

    char serial_[13] = {};
    std::int32_t openCount_ = 0;
    WriteBufferPool* pool_;
    LogBlockSource* source_;
    std::list<Bundle> bundles_;
    std::mutex lock_;
};
