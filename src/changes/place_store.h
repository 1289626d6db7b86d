#pragma once

#include "inventory/startup_item.h"
#include "inventory/startup_location.h"
#include "platform/platform_services.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// What a removal took from a place, so that it can be put back or written again as it was.
struct TakenCopy {
    std::optional<RegistryValue> value;  // a registry place's value
    // The title of a section that went with its last command (RunOnceEx), for the entry that takes its place
    // or is put back there.
    std::optional<RegistryValue> sectionTitle;
    std::optional<std::string> shortcut; // a folder place's file, as bytes
    std::optional<ShortcutInfo> link;    // and what it holds, the base of a new version
    std::string path;                    // where the file was
};

enum class Removal { Done, Absent, Failed };

// How the apply engine reads and writes the entries of one place. Each kind of place is one class; the
// engine decides what to change and in which order, the store how that is done where its entries live.
// Failures that are no platform error return false (or Removal::Failed) with the reason in *why; the
// platform's errors propagate and end the apply.
class PlaceStore {
public:
    PlaceStore(const StartupLocation& row, PlatformServices services) : row_(row), services_(services) {}
    virtual ~PlaceStore() = default;
    PlaceStore(const PlaceStore&) = delete;
    PlaceStore& operator=(const PlaceStore&) = delete;

    // Made before an apply's changes: what the place needs beside the tool to keep disabled entries.
    virtual void Prepare() {}
    // Whether either side of the place (enabled or disabled) holds something of that name already.
    virtual bool Occupied(std::string_view systemName) = 0;
    // Takes away what the place holds of a loaded entry in that state, under its name there, when it is
    // still as it was loaded; what was taken goes to *taken (when given).
    virtual Removal Remove(const StartupItem& item, ItemState state, std::string_view systemName,
                           TakenCopy* taken, std::string* why) = 0;
    // Puts an entry in the place in that state under the name given, never over another of that name.
    // realValue, when given, is the stored value itself (the record's text may be cut); replaced, when
    // given, is what was taken for an earlier version of this entry (`before`), the base of the new one.
    virtual bool Write(const StartupItem& item, ItemState state, std::string_view systemName,
                       const std::optional<RegistryValue>& realValue, const StartupItem* before,
                       const TakenCopy* replaced, std::string* why) = 0;
    // Moves a loaded entry between the two sides of the place: written on the new side before it is removed
    // from the old, and taken back when the old copy cannot be removed.
    virtual bool Move(const StartupItem& item, ItemState to, std::string* why) = 0;
    // Puts back what a removal took from where the original was, unless something of its name is there now.
    virtual void PutBack(const StartupItem& original, ItemState state, const TakenCopy& taken) = 0;

protected:
    const StartupLocation& row_;
    PlatformServices services_;
};

// The store of the row's kind; nullptr for a label of no place.
std::unique_ptr<PlaceStore> OpenPlaceStore(std::string_view label, PlatformServices services);

// The name a loaded entry has in its place: its value's name or its file's.
std::string SystemNameOf(const StartupItem& item);

// Why an operation failed, as the platform said.
std::string FailureText();

} // namespace qb
