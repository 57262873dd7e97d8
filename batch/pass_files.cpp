#include "batch/pass_files.h"

#include <chrono>
#include <new>

#include "batch/batch.h"
#include "batch/resize_and_write.h"
#include "core/os/os.h"
#include "core/os/private_files.h"
#include "core/result_codes.h"
#include "core/worker_pool.h"
#include "scale/resize_modes.h"
#include "scale/scaling.h"

namespace qdx {

namespace {

// An item's result: pending, or 1 + its FileOutcome.
constexpr uint8_t kPending = 0;
constexpr uint32_t kNoOutput = UINT32_MAX;
uint8_t ResultOf(FileOutcome outcome) { return uint8_t(1 + uint8_t(outcome)); }
FileOutcome OutcomeOf(uint8_t result) { return FileOutcome(result - 1); }
// The decoded pictures being worked on stay below this share of the memory.
constexpr uint64_t kMemoryShare = 4;
// What a worker is expected to hold at once: a 24-megapixel picture and its
// resampled copy.
constexpr uint64_t kPictureBytesPerWorker = uint64_t(144) << 20;
// Finished outputs waiting for the batch thread, per worker: enough that a
// worker goes on with small files while another converts a large one.
constexpr uint32_t kOutputsPerWorker = 4;

bool NeedsHalftone(const Preset& preset) {
    return preset.resizeMode != ResizeNone && preset.resampleFilter == FilterHalftone;
}

}  // namespace

// A worker's context and thread; its readers reserve the memory of each
// picture here from its declared size, before decoding it.
struct PassFiles::Slot final : PictureMemoryGate {
    ConversionContext context;
    std::thread thread;
    PassFiles* pass = nullptr;
    uint64_t item = 0;  // the item being converted
    uint64_t held = 0;  // bytes counted in inFlight_ for it

    bool Reserve(uint64_t bytes) override { return pass->Reserve(*this, bytes); }
};

// What became of one file of one pass, kept until the batch thread is done
// with it.
struct PassFiles::Item {
    bool started = false;
    uint8_t result = kPending;
    uint32_t output = kNoOutput;  // index into outputs_
    PixelBudget refused;          // the refusal and its size
    const char16_t* missingLibrary = nullptr;
};

uint32_t PassWorkers(uint64_t count, uint32_t threads, uint64_t physicalMemory) {
    uint64_t workers = threads < count ? threads : count;
    const uint64_t byMemory = physicalMemory / kMemoryShare / kPictureBytesPerWorker;
    if (physicalMemory != 0 && workers > byMemory) workers = byMemory;
    return workers < 1 ? 1 : uint32_t(workers);
}

PassFiles::PassFiles(ConversionContext& context, uint32_t count, const WideString* paths, const CodecSteps& steps,
                     BatchHost* host)
    : PassFiles(context, count, paths, &context.preset, 1, steps, host) {}

PassFiles::PassFiles(ConversionContext& context, uint32_t count, const WideString* paths,
                     const Preset* const* presets, uint32_t passCount, const CodecSteps& steps, BatchHost* host)
    : context_(context), count_(count), paths_(paths), steps_(steps), host_(host) {
    if (passCount > kMaxPasses) passCount = kMaxPasses;
    passCount_ = passCount;
    for (uint32_t p = 0; p < passCount; ++p) {
        presets_[p] = presets[p];
        if (!presets_[p]) return;
    }
    total_ = uint64_t(count) * passCount;
    // Plug-in readers are outside code that may not expect to run twice at
    // once, and stand-in steps may share state: those batches stay on one thread.
    const bool pluginsPossible = context.settings && !context.settings->pluginFolder.IsEmpty();
    if (!steps.runsInParallel || pluginsPossible || !context.pool || passCount == 0) return;
    const uint64_t memory = os::PhysicalMemoryBytes();
    const uint32_t workers = PassWorkers(total_, context.pool->Threads(), memory);
    if (workers < 2) return;
    budget_ = memory / kMemoryShare;
    if (!StartWorkers(workers)) StopWorkers();
}

PassFiles::~PassFiles() { StopWorkers(); }

bool PassFiles::StartWorkers(uint32_t workers) {
    const uint32_t threads = context_.pool->Threads();
    outputCount_ = workers * kOutputsPerWorker;
    slots_.reset(new (std::nothrow) Slot[workers]);
    outputs_.reset(new (std::nothrow) WideString[outputCount_]);
    freeOutputs_.reset(new (std::nothrow) uint32_t[outputCount_]);
    if (total_ > SIZE_MAX / sizeof(Item)) return false;
    items_.reset(new (std::nothrow) Item[size_t(total_)]);
    fileBytes_.reset(new (std::nothrow) uint64_t[count_]());
    if (!slots_ || !items_ || !outputs_ || !freeOutputs_ || !fileBytes_) return false;
    for (uint32_t i = 0; i < count_; ++i) {
        os::File file;
        if (os::OpenForReadShared(paths_[i].Text(), file)) os::FileSize(file, fileBytes_[i]);
    }
    workers_ = workers;
    WideString folder;
    const bool haveFolder =
        context_.temporaryFolder ? folder.Assign(context_.temporaryFolder) : os::TemporaryFolder(folder);
    if (!haveFolder || folder.IsEmpty()) return false;
    for (uint32_t k = 0; k < outputCount_; ++k) {
        if (!os::CreateTemporaryFile(folder, outputs_[k]) || outputs_[k].IsEmpty()) return false;
        freeOutputs_[freeCount_++] = k;
    }
    // The rows of one picture share the threads the workers leave over.
    const uint32_t rowThreads = threads / workers < 1 ? 1 : threads / workers;
    for (uint32_t k = 0; k < workers; ++k) {
        Slot& slot = slots_[k];
        ConversionContext& c = slot.context;
        if (!c.Initialise(rowThreads)) return false;
        c.settings = context_.settings;
        c.sourceData = context_.sourceData;
        c.budget.maxPixels = context_.budget.maxPixels;
        c.budget.memoryBytes = context_.budget.memoryBytes;
        c.budget.gate = &slot;
        slot.pass = this;
    }
    try {
        for (uint32_t k = 0; k < workers; ++k) slots_[k].thread = std::thread([this, k] { Work(k); });
    } catch (...) {
        return false;
    }
    return true;
}

// Joins what was started and falls back to the plain loop, deleting the
// workers' temporary files.
void PassFiles::StopWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (slots_) {
        for (uint32_t k = 0; k < workers_; ++k)
            if (slots_[k].thread.joinable()) slots_[k].thread.join();
    }
    if (outputs_) {
        for (uint32_t k = 0; k < outputCount_; ++k)
            if (!outputs_[k].IsEmpty()) os::RemoveFile(outputs_[k].Text());
    }
    slots_.reset();
    items_.reset();
    fileBytes_.reset();
    outputs_.reset();
    freeOutputs_.reset();
    outputCount_ = freeCount_ = 0;
    workers_ = 1;
}

// A second reservation for the same item (a reader that hands the file to
// another) replaces the first. The oldest item, and any item while no other
// holds memory, always goes on, so the batch cannot stall.
bool PassFiles::Reserve(Slot& slot, uint64_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (slot.held != 0) {
        inFlight_ -= slot.held;
        slot.held = 0;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] {
        return stopping_ || inFlight_ + bytes <= budget_ || inFlight_ == 0 || slot.item <= consumed_;
    });
    if (stopping_) return false;
    inFlight_ += bytes;
    slot.held = bytes;
    return true;
}

// Gives the item's temporary file back (called with the lock held).
void PassFiles::ReleaseOutput(uint64_t item) {
    Item& it = items_[item];
    if (it.output == kNoOutput) return;
    freeOutputs_[freeCount_++] = it.output;
    it.output = kNoOutput;
}

// The first item not yet started of those the batch thread will ask for
// next (as many as there are temporary files); false when there is none.
// Once these reach the end of the batch, the one with the largest file, so
// that the batch does not end waiting for one large file on one thread.
// Called with the lock held.
bool PassFiles::PickItem(uint64_t& item) const {
    const uint64_t end = total_ - consumed_ < outputCount_ ? total_ : consumed_ + outputCount_;
    bool found = false;
    for (uint64_t i = consumed_; i < end; ++i) {
        if (items_[i].started) continue;
        if (found && (end != total_ || fileBytes_[i % count_] <= fileBytes_[item % count_])) continue;
        item = i;
        found = true;
    }
    return found;
}

// Each worker takes an item as soon as it is free and one of the temporary
// files is: never more items ahead of the batch thread than there are
// temporary files.
void PassFiles::Work(uint32_t k) {
    Slot& slot = slots_[k];
    for (;;) {
        uint64_t item = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || consumed_ >= total_ || (freeCount_ > 0 && PickItem(item)); });
            if (stopping_ || consumed_ >= total_) return;
            items_[item].started = true;
            items_[item].output = freeOutputs_[--freeCount_];
            slot.item = item;
        }
        Convert(slot, item);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            inFlight_ -= slot.held;  // the picture is gone with the conversion
            slot.held = 0;
            if (stopping_) return;
            // An item of a pass given up gives its file back at once.
            if (item < consumed_) ReleaseOutput(item);
        }
        changed_.notify_all();
    }
}

// Converts one item on the worker's context into its temporary file and
// records what became of it.
void PassFiles::Convert(Slot& slot, uint64_t item) {
    ConversionContext& c = slot.context;
    const Preset* preset = presets_[item / count_];
    if (c.preset != preset) {
        c.preset = preset;
        c.outputStep = steps_.outputStepFor(preset->outputFormat);
        // The halftone filter draws through a memory device context that
        // lives with the worker; a failure shows up as failed resizes.
        if (NeedsHalftone(*preset) && c.scaling) PrepareHalftoneContext(*c.scaling);
    }
    Item& record = items_[item];
    c.tempPath = &outputs_[record.output];
    c.missingLibrary = nullptr;
    const WideString& path = paths_[item % count_];
    FileOutcome outcome = FileOutcome::Missing;
    bool decoded = false;
    if (os::FileExists(path.Text())) {
        decoded = steps_.decode(c, path);
        if (!decoded) outcome = DecodeFailure(c);
    }
    if (decoded) {
        c.savedBitDepth = c.image.header.biBitCount;
        // Decode steps that reserved nothing from a header are counted by
        // the picture they made.
        uint32_t bytes = 0;
        PixelBufferSize(uint32_t(c.image.header.biWidth), uint32_t(c.image.header.biHeight),
                        c.image.header.biBitCount, bytes);
        if (slot.held == 0 && !Reserve(slot, bytes)) {
            c.image.pixels.Reset();
            return;
        }
        outcome = ResizeAndWrite(c) ? FileOutcome::Written : FileOutcome::NotWritten;
        if (outcome == FileOutcome::NotWritten) os::EmptyFile(c.tempPath->Text());
    }
    c.image.pixels.Reset();
    std::lock_guard<std::mutex> lock(mutex_);
    record.result = ResultOf(outcome);
    record.refused = c.budget;
    record.missingLibrary = c.missingLibrary;
}

const WideString* PassFiles::Next(uint64_t item, FileOutcome& outcome) {
    if (workers_ < 2) {
        const WideString& path = paths_[item % count_];
        outcome = FileOutcome::Missing;
        if (!os::FileExists(path.Text())) return nullptr;
        if (!steps_.decode(context_, path)) {
            outcome = DecodeFailure(context_);
            return nullptr;
        }
        if (host_) host_->KeepResponsive();
        context_.savedBitDepth = context_.image.header.biBitCount;
        outcome = ResizeAndWrite(context_, host_) ? FileOutcome::Written : FileOutcome::NotWritten;
        if (outcome == FileOutcome::Written) return context_.tempPath;
        // Whatever a failed write left (on a full disk, most of a file) goes
        // at once. The file itself stays: a name given up could be taken
        // by someone else before the next write.
        os::EmptyFile(context_.tempPath->Text());
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const Item& record = items_[item];
    const auto slice = std::chrono::milliseconds(kWaitSliceMs);
    while (!changed_.wait_for(lock, slice, [&] { return record.result != kPending; })) {
        if (!host_) continue;
        lock.unlock();
        host_->KeepResponsive();
        lock.lock();
    }
    outcome = OutcomeOf(record.result);
    if (record.missingLibrary) context_.missingLibrary = record.missingLibrary;
    return outcome == FileOutcome::Written ? &outputs_[record.output] : nullptr;
}

const PixelBudget& PassFiles::BudgetOf(uint64_t item) const {
    return workers_ < 2 ? context_.budget : items_[item].refused;
}

void PassFiles::Done(uint64_t item) {
    if (workers_ < 2) {
        context_.image.pixels.Reset();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ReleaseOutput(item);
        consumed_ = item + 1;
    }
    changed_.notify_all();
}

void PassFiles::SkipTo(uint64_t end) {
    if (workers_ < 2) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (end > total_) end = total_;
        // Finished items give their files back now, the ones being converted
        // when they finish.
        for (uint64_t i = consumed_; i < end; ++i)
            if (items_[i].result != kPending) ReleaseOutput(i);
        if (end > consumed_) consumed_ = end;
    }
    changed_.notify_all();
}

}  // namespace qdx
