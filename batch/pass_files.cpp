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

// A file's slot in results_: pending, or 1 + its FileOutcome.
constexpr uint8_t kPending = 0;
uint8_t ResultOf(FileOutcome outcome) { return uint8_t(1 + uint8_t(outcome)); }
FileOutcome OutcomeOf(uint8_t result) { return FileOutcome(result - 1); }
// The decoded pictures being worked on stay below this share of the memory.
constexpr uint64_t kMemoryShare = 4;
// What a worker is expected to hold at once: a 24-megapixel picture and its
// resampled copy.
constexpr uint64_t kPictureBytesPerWorker = uint64_t(144) << 20;

}  // namespace

// A worker's context, temporary file and thread; its readers reserve the
// memory of each picture here from its declared size, before decoding it.
struct PassFiles::Slot final : PictureMemoryGate {
    ConversionContext context;
    WideString temporary;
    std::thread thread;
    PassFiles* pass = nullptr;
    uint64_t file = 0;  // the file being converted
    uint64_t held = 0;  // bytes counted in inFlight_ for that file

    bool Reserve(uint64_t bytes) override { return pass->Reserve(*this, bytes); }
};

uint32_t PassWorkers(uint32_t count, uint32_t threads, uint64_t physicalMemory) {
    uint64_t workers = threads < count ? threads : count;
    const uint64_t byMemory = physicalMemory / kMemoryShare / kPictureBytesPerWorker;
    if (physicalMemory != 0 && workers > byMemory) workers = byMemory;
    return workers < 1 ? 1 : uint32_t(workers);
}

PassFiles::PassFiles(ConversionContext& context, uint32_t count, const WideString* paths, const CodecSteps& steps,
                     BatchHost* host)
    : context_(context), count_(count), paths_(paths), steps_(steps), host_(host) {
    // Plug-in readers are outside code that may not expect to run twice at
    // once, and stand-in steps may share state: those passes stay on one thread.
    const bool pluginsPossible = context.settings && !context.settings->pluginFolder.IsEmpty();
    if (!steps.runsInParallel || pluginsPossible || !context.pool || !context.preset) return;
    const uint64_t memory = os::PhysicalMemoryBytes();
    const uint32_t workers = PassWorkers(count, context.pool->Threads(), memory);
    if (workers < 2) return;
    budget_ = memory / kMemoryShare;
    if (!StartWorkers(workers)) StopWorkers();
}

PassFiles::~PassFiles() { StopWorkers(); }

bool PassFiles::StartWorkers(uint32_t workers) {
    slots_.reset(new (std::nothrow) Slot[workers]);
    results_.reset(new (std::nothrow) uint8_t[count_]());
    if (!slots_ || !results_) return false;
    workers_ = workers;
    WideString folder;
    const bool haveFolder =
        context_.temporaryFolder ? folder.Assign(context_.temporaryFolder) : os::TemporaryFolder(folder);
    if (!haveFolder || folder.IsEmpty()) return false;
    for (uint32_t k = 0; k < workers; ++k) {
        Slot& slot = slots_[k];
        ConversionContext& c = slot.context;
        // Each worker converts one picture at a time on its own thread.
        if (!c.Initialise(1) || !os::CreateTemporaryFile(folder, slot.temporary) || slot.temporary.IsEmpty())
            return false;
        c.settings = context_.settings;
        c.sourceData = context_.sourceData;
        c.preset = context_.preset;
        c.outputStep = context_.outputStep;
        c.tempPath = &slot.temporary;
        c.budget.maxPixels = context_.budget.maxPixels;
        c.budget.memoryBytes = context_.budget.memoryBytes;
        c.budget.gate = &slot;
        slot.pass = this;
        if (c.preset->resizeMode != ResizeNone && c.preset->resampleFilter == FilterHalftone && c.scaling)
            PrepareHalftoneContext(*c.scaling);
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
        for (uint32_t k = 0; k < workers_; ++k)
            if (!slots_[k].temporary.IsEmpty()) os::RemoveFile(slots_[k].temporary.Text());
    }
    slots_.reset();
    results_.reset();
    workers_ = 1;
}

// A second reservation for the same file (a reader that hands the file to
// another) replaces the first. The oldest file always goes on, so the pass
// cannot stall.
bool PassFiles::Reserve(Slot& slot, uint64_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (slot.held != 0) {
        inFlight_ -= slot.held;
        slot.held = 0;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return stopping_ || inFlight_ + bytes <= budget_ || slot.file == consumed_; });
    if (stopping_) return false;
    inFlight_ += bytes;
    slot.held = bytes;
    return true;
}

// Slot k converts files k, k + W, k + 2W, ... and starts each only after the
// batch thread has copied the slot's previous output.
void PassFiles::Work(uint32_t k) {
    Slot& slot = slots_[k];
    ConversionContext& c = slot.context;
    for (uint64_t f = k; f < count_; f += workers_) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || f < uint64_t(consumed_) + workers_; });
            if (stopping_) return;
            slot.file = f;
        }
        const WideString& path = paths_[f];
        FileOutcome outcome = FileOutcome::Missing;
        bool decoded = false;
        if (os::FileExists(path.Text())) {
            decoded = steps_.decode(c, path);
            if (!decoded) outcome = DecodeFailure(c);
        }
        if (decoded) {
            c.savedBitDepth = c.image.header.biBitCount;
            // Decode steps that reserved nothing from a header are counted
            // by the picture they made.
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
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            results_[f] = ResultOf(outcome);
            if (c.missingLibrary) missingLibrary_ = c.missingLibrary;
        }
        changed_.notify_all();
    }
}

const WideString* PassFiles::Next(uint32_t index, FileOutcome& outcome) {
    if (workers_ < 2) {
        const WideString& path = paths_[index];
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
    const auto slice = std::chrono::milliseconds(kWaitSliceMs);
    while (!changed_.wait_for(lock, slice, [&] { return results_[index] != kPending; })) {
        if (!host_) continue;
        lock.unlock();
        host_->KeepResponsive();
        lock.lock();
    }
    outcome = OutcomeOf(results_[index]);
    if (missingLibrary_) context_.missingLibrary = missingLibrary_;
    return outcome == FileOutcome::Written ? &slots_[index % workers_].temporary : nullptr;
}

const PixelBudget& PassFiles::BudgetOf(uint32_t index) const {
    return workers_ < 2 ? context_.budget : slots_[index % workers_].context.budget;
}

void PassFiles::Done(uint32_t index) {
    if (workers_ < 2) {
        context_.image.pixels.Reset();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot& slot = slots_[index % workers_];
        inFlight_ -= slot.held;
        slot.held = 0;
        consumed_ = index + 1;
    }
    changed_.notify_all();
}

}  // namespace qdx
