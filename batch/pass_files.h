#pragma once
// The files of a batch's passes, each decoded, rescaled and written to a
// temporary file, handed to the batch thread strictly in order: pass by pass,
// file by file. With one thread that is the plain loop on the batch's own
// context. With more threads and more than one file, a few workers take the
// next file of the batch as each one finishes (the next pass's first files
// while the last ones of a pass are still being converted), each with its own
// reader, writer and scaling states, and leave every output in a temporary
// file of its own until the batch thread has copied it; the last files of
// the batch are taken largest first. The batch thread
// alone picks names, copies and shows messages, so outputs, names and
// messages are those of the one-thread batch.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "batch/batch.h"
#include "batch/batch_host.h"

namespace qdx {

// The most presets one batch runs.
inline constexpr uint32_t kMaxPasses = 4;

class PassFiles {
public:
    // One pass through `context`'s preset (set, with its output step, for
    // this pass). `host`, when given, is asked to keep responsive between the
    // steps of a file converted on the batch thread and while Next waits for
    // a worker.
    PassFiles(ConversionContext& context, uint32_t count, const WideString* paths, const CodecSteps& steps,
              BatchHost* host = nullptr);
    // `passCount` passes (at most kMaxPasses) over the same files, pass p
    // through `presets[p]`; item p * count + i is file i of pass p. With one
    // thread the batch thread sets the context's preset and output step for
    // each pass itself.
    PassFiles(ConversionContext& context, uint32_t count, const WideString* paths, const Preset* const* presets,
              uint32_t passCount, const CodecSteps& steps, BatchHost* host = nullptr);
    PassFiles(const PassFiles&) = delete;
    PassFiles& operator=(const PassFiles&) = delete;
    ~PassFiles();

    // Converts item `item` (asked for in rising order, each once) or waits
    // for the worker that does; returns the temporary file holding its
    // output, or null when the file was skipped (missing, undecodable, or
    // scaling or writing failed), with what became of it in `outcome`
    // (Written when a temporary file is returned). A library found missing
    // by a worker's read of that item is named in the batch context's
    // missingLibrary.
    const WideString* Next(uint64_t item, FileOutcome& outcome);
    // Why item `item` was refused, with its size, after Next gave TooLarge or
    // OutOfMemory for it (valid until Done).
    const PixelBudget& BudgetOf(uint64_t item) const;
    // The batch thread has finished with the output of item `item`.
    void Done(uint64_t item);
    // The batch thread will ask for no item below `end`: a pass that cannot
    // write gives up its files.
    void SkipTo(uint64_t end);

    // Files converted at once (1: the plain loop).
    uint32_t Workers() const { return workers_; }

private:
    struct Slot;
    struct Item;
    bool StartWorkers(uint32_t workers);
    void StopWorkers();
    void Work(uint32_t slot);
    void Convert(Slot& slot, uint64_t item);
    bool Reserve(Slot& slot, uint64_t bytes);
    void ReleaseOutput(uint64_t item);
    bool PickItem(uint64_t& item) const;

    ConversionContext& context_;
    uint32_t count_;
    const WideString* paths_;
    const Preset* presets_[kMaxPasses] = {};
    uint32_t passCount_ = 1;
    const CodecSteps& steps_;
    BatchHost* host_;
    uint32_t workers_ = 1;

    std::unique_ptr<Slot[]> slots_;
    std::unique_ptr<Item[]> items_;          // one per file and pass
    std::unique_ptr<WideString[]> outputs_;  // temporary files, each held by one item at a time
    std::unique_ptr<uint32_t[]> freeOutputs_;
    std::unique_ptr<uint64_t[]> fileBytes_;  // the size of each file, to take large ones first
    uint32_t outputCount_ = 0, freeCount_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t total_ = 0;     // items of all passes
    uint64_t consumed_ = 0;  // items the batch thread is done with
    uint64_t inFlight_ = 0;  // bytes of decoded pictures being scaled or written
    uint64_t budget_ = 0;    // at most this many, except for the oldest item
    bool stopping_ = false;
};

// One pass of the batch's files through `preset`, its files items
// `firstItem` on of `queue`; returns the number of files written. `cut` is
// set when a stop request left files of the pass unconverted.
uint32_t ConvertWithPreset(BatchHost& host, ConversionContext& context, const BatchFiles& files,
                           const Preset& preset, const CodecSteps& steps, bool& cut, PassFiles& queue,
                           uint64_t firstItem);

// Files converted side by side for a batch of `count` items with `threads`
// threads and `physicalMemory` bytes: one unless both allow more.
uint32_t PassWorkers(uint64_t count, uint32_t threads, uint64_t physicalMemory);

}  // namespace qdx
