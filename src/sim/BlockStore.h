// The blocks written to a simulated drive or logical unit; a block never
// written reads as zeros. A store starts in memory (a scenario, a unit test,
// a state file of the earlier form that held the blocks as hex). The
// Simulator of a state file binds every store to a block file beside it:
// from then on each block is written in place in that sparse file (pwrite)
// and read from it (pread), and no block is held in memory or written into
// the state file, which names the file only. Copies of a bound store share
// its file (a snapshot of the world copies no data); copies of a store in
// memory copy its blocks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class BlockStore {
  public:
    using Map = std::map<std::uint32_t, std::vector<std::uint8_t>>;  // LBA -> 512 bytes

    // count blocks from lba into out (count x 512 bytes). False when the
    // block file could not be read (out then holds zeros where it failed).
    bool Read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) const;
    // count blocks of data at lba. False when the block file could not be
    // written.
    bool Write(std::uint32_t lba, std::uint32_t count, const std::uint8_t* data);
    // Every block reads as zeros again (a format).
    bool Clear();
    // Nothing but zeros was ever written (or everything was cleared).
    bool Empty() const;
    // One block as it reads.
    std::vector<std::uint8_t> Block(std::uint32_t lba) const;

    // The block file's name in the block directory; empty while the store
    // has none.
    const std::string& FileName() const { return name_; }
    void SetFileName(std::string name) { name_ = std::move(name); }
    bool Bound() const { return file_ != nullptr; }
    // Binds the store to dir/FileName() for a medium of the given number of
    // blocks, and moves the blocks held in memory into the file. Returns 0,
    // or an errno with the store left in memory as it was.
    int Bind(const std::string& dir, std::uint32_t blocks);

    // The blocks of a store in memory (the state file's earlier form).
    const Map& MemoryBlocks() const { return memory_; }
    void SetMemoryBlocks(Map blocks) { memory_ = std::move(blocks); }

    // A plain name for a block file: letters, digits, '-', '_' and '.',
    // ending in ".blk", not starting with '.', at most 64 characters.
    static bool PlainFileName(const std::string& name);

  private:
    class File;
    Map memory_;
    std::string name_;
    std::shared_ptr<File> file_;
};

}  // namespace sim
