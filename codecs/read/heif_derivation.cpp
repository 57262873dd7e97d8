#include "codecs/read/heif_derivation.h"

namespace qdx {
namespace {

constexpr uint32_t FourCc(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}
constexpr uint32_t kMeta = FourCc("meta"), kItemInfo = FourCc("iinf"), kItemEntry = FourCc("infe"),
                   kItemReferences = FourCc("iref"), kDerivedFrom = FourCc("dimg");
constexpr uint32_t kGrid = FourCc("grid"), kOverlay = FourCc("iovl"), kIdentity = FourCc("iden");
constexpr size_t kFullBoxHeader = 4;  // version and flags
// More derived items than any camera writes (one grid and its thumbnail's).
constexpr size_t kMostDerivedItems = 64;

uint32_t Big16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Big32(const uint8_t* p) { return Big16(p) << 16 | Big16(p + 2); }

struct Box {
    uint32_t type = 0;
    const uint8_t* body = nullptr;
    size_t size = 0;
};

// The box at `at` (moved past it); false at the end or at a header that does
// not fit.
bool NextBox(const uint8_t*& at, const uint8_t* end, Box& box) {
    const size_t left = size_t(end - at);
    if (left < 8) return false;
    uint64_t length = Big32(at);
    size_t header = 8;
    if (length == 1) {
        if (left < 16) return false;
        length = uint64_t(Big32(at + 8)) << 32 | Big32(at + 12);
        header = 16;
    } else if (length == 0) {
        length = left;  // to the end of what holds it
    }
    if (length < header || length > left) return false;
    box = {Big32(at + 4), at + header, size_t(length - header)};
    at += length;
    return true;
}

struct DerivedItem {
    uint32_t id = 0, type = 0;
};

struct Derivations {
    DerivedItem items[kMostDerivedItems];
    size_t count = 0;

    const DerivedItem* Find(uint32_t id) const {
        for (size_t i = 0; i < count; ++i)
            if (items[i].id == id) return &items[i];
        return nullptr;
    }
};

// Calls visit(id, type) for each item entry of an "iinf" box (entries of
// versions 0 and 1 carry no type: 0); false when an entry does not fit.
template <typename Visit>
bool ForEachItem(const Box& info, Visit&& visit) {
    if (info.size < kFullBoxHeader) return false;
    const size_t countBytes = info.body[0] == 0 ? 2 : 4;
    if (info.size < kFullBoxHeader + countBytes) return false;
    const uint8_t* at = info.body + kFullBoxHeader + countBytes;
    const uint8_t* end = info.body + info.size;
    Box entry;
    while (NextBox(at, end, entry)) {
        if (entry.type != kItemEntry || entry.size < kFullBoxHeader) continue;
        const uint8_t version = entry.body[0];
        const size_t idBytes = version == 2 ? 2 : 4;
        if (version < 2) {
            if (entry.size < kFullBoxHeader + 2) return false;
            if (!visit(Big16(entry.body + kFullBoxHeader), 0u)) return false;
            continue;
        }
        if (entry.size < kFullBoxHeader + idBytes + 2 + 4) return false;
        const uint8_t* p = entry.body + kFullBoxHeader;
        const uint32_t id = idBytes == 2 ? Big16(p) : Big32(p);
        if (!visit(id, Big32(p + idBytes + 2))) return false;
    }
    return true;
}

bool IsDerivedType(uint32_t type) { return type == kGrid || type == kOverlay || type == kIdentity; }

bool CollectDerived(const Box& info, Derivations& derived) {
    return ForEachItem(info, [&](uint32_t id, uint32_t type) {
        if (!IsDerivedType(type)) return true;
        if (derived.count == kMostDerivedItems) return false;
        derived.items[derived.count++] = {id, type};
        return true;
    });
}

// One entry per derived item: a second entry of the same number would leave
// which one counts to the library.
bool DerivedNamedOnce(const Box& info, const Derivations& derived) {
    uint32_t seen[kMostDerivedItems] = {};
    return ForEachItem(info, [&](uint32_t id, uint32_t) {
        for (size_t i = 0; i < derived.count; ++i)
            if (derived.items[i].id == id && ++seen[i] > 1) return false;
        return true;
    });
}

// A reference is sound when it names a coded picture, or when an identity
// item names one grid or overlay (whose own references are checked too).
bool ReferenceIsSound(const Derivations& derived, uint32_t from, uint32_t to) {
    if (from == to) return false;
    const DerivedItem* target = derived.Find(to);
    if (!target) return true;
    const DerivedItem* source = derived.Find(from);
    return source && source->type == kIdentity && target->type != kIdentity;
}

bool ReferencesAreSound(const Box& references, const Derivations& derived) {
    if (references.size < kFullBoxHeader) return false;
    const size_t idBytes = references.body[0] == 0 ? 2 : 4;
    const uint8_t* at = references.body + kFullBoxHeader;
    const uint8_t* end = references.body + references.size;
    Box kind;
    while (NextBox(at, end, kind)) {
        if (kind.type != kDerivedFrom) continue;
        if (kind.size < idBytes + 2) return false;
        const uint8_t* p = kind.body;
        const uint32_t from = idBytes == 2 ? Big16(p) : Big32(p);
        const uint32_t count = Big16(p + idBytes);
        if ((kind.size - idBytes - 2) / idBytes < count) return false;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* q = p + idBytes + 2 + size_t(i) * idBytes;
            if (!ReferenceIsSound(derived, from, idBytes == 2 ? Big16(q) : Big32(q))) return false;
        }
    }
    return true;
}

bool MetaIsSound(const Box& meta) {
    if (meta.size < kFullBoxHeader) return true;
    const uint8_t* end = meta.body + meta.size;
    Derivations derived;
    const uint8_t* at = meta.body + kFullBoxHeader;
    Box child;
    while (NextBox(at, end, child))
        if (child.type == kItemInfo && (!CollectDerived(child, derived) || !DerivedNamedOnce(child, derived)))
            return false;
    at = meta.body + kFullBoxHeader;
    while (NextBox(at, end, child))
        if (child.type == kItemReferences && !ReferencesAreSound(child, derived)) return false;
    return true;
}

}  // namespace

bool HeifDerivationIsSound(const uint8_t* data, size_t size) {
    if (!data) return true;
    const uint8_t* at = data;
    Box box;
    while (NextBox(at, data + size, box))
        if (box.type == kMeta && !MetaIsSound(box)) return false;
    return true;
}

}  // namespace qdx
