#pragma once
// The paths a process removes on its way out when it is ended from outside:
// a fixed table, so that a signal or console handler reads it without a lock
// or an allocation. A slot is claimed, filled, then marked with its kind.
#include <atomic>
#include <cstddef>

namespace qdx::os {

enum class SlotKind : int { Free = 0, Filling = 1, Folder = 2, File = 3 };

template <typename Char, size_t kPathUnits, int kSlots = 64>
class PathSlots {
public:
    // The slot now holding `path` (`length` units), or -1 when the table is
    // full or the path too long: that path is then removed by its owner only.
    int Register(const Char* path, size_t length, SlotKind kind) {
        if (length >= kPathUnits) return -1;
        for (int i = 0; i < kSlots; ++i) {
            int expected = int(SlotKind::Free);
            if (!slots_[i].state.compare_exchange_strong(expected, int(SlotKind::Filling))) continue;
            for (size_t k = 0; k < length; ++k) slots_[i].path[k] = path[k];
            slots_[i].path[length] = 0;
            slots_[i].state.store(int(kind));
            return i;
        }
        return -1;
    }
    void Unregister(int& slot) {
        if (slot >= 0) slots_[slot].state.store(int(SlotKind::Free));
        slot = -1;
    }
    // Hands every folder and every file held to the matching remover.
    template <typename RemoveFolder, typename RemoveFile>
    void RemoveAll(RemoveFolder removeFolder, RemoveFile removeFile) {
        for (Slot& slot : slots_) {
            const int state = slot.state.load();
            if (state == int(SlotKind::Folder))
                removeFolder(slot.path);
            else if (state == int(SlotKind::File))
                removeFile(slot.path);
        }
    }

private:
    struct Slot {
        std::atomic<int> state{int(SlotKind::Free)};
        Char path[kPathUnits];
    };
    Slot slots_[kSlots];
};

}  // namespace qdx::os
