#include "platform/sandbox/reg_tree.h"

#include "platform/text.h"

#include <algorithm>

namespace qb::sandbox {

namespace {

// Calls visit(component) for every non-empty component of a backslash path; stops early when visit
// returns false and then returns false itself.
template <typename Visit> bool ForEachComponent(std::string_view path, Visit visit) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start && !visit(path.substr(start, end - start))) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Splits off the last non-empty component: parent path and name.
std::pair<std::string_view, std::string_view> SplitLast(std::string_view path) {
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos) {
        return {std::string_view{}, path};
    }
    return {path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace

std::size_t Utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            ++units;
        }
        if (byte >= 0xF0) {
            ++units; // a supplementary character becomes a surrogate pair
        }
    }
    return units;
}

RegNode::RegNode(std::string name) : name_(std::move(name)) {}

RegNode RegNode::Clone() const {
    RegNode copy(name_);
    for (const Slot& slot : slots_) {
        if (!slot.live) {
            continue;
        }
        copy.SetValue(slot.entry.first, slot.entry.second);
        if (slot.asRead) {
            copy.slots_.back().asRead = slot.asRead;
        }
    }
    for (const auto& [folded, child] : subkeys_) {
        copy.subkeys_.emplace(folded, std::make_unique<RegNode>(child->Clone()));
    }
    return copy;
}

RegNode::ValueRange RegNode::Values() const {
    const Slot* first = slots_.data();
    const Slot* last = first + slots_.size();
    return ValueRange(ValueIterator(first, last), ValueIterator(last, last), ValueCount());
}

const RegistryValue* RegNode::FindValue(std::string_view name) const {
    const auto it = valueIndex_.find(UpperCase(name));
    return it == valueIndex_.end() ? nullptr : &slots_[it->second].entry.second;
}

void RegNode::SetValue(std::string_view name, RegistryValue value) {
    auto [it, inserted] = valueIndex_.try_emplace(UpperCase(name), slots_.size());
    if (inserted) {
        slots_.push_back(Slot{{std::string(name), std::move(value)}, true, std::nullopt});
    } else {
        slots_[it->second].entry.second = std::move(value);
        slots_[it->second].asRead.reset();
    }
}

void RegNode::SetValueAsRead(std::string_view name, RegistryValue value, std::string bytes) {
    SetValue(name, std::move(value));
    slots_[valueIndex_.find(UpperCase(name))->second].asRead = std::move(bytes);
}

const std::string* RegNode::BytesAsRead(std::string_view name) const {
    const auto it = valueIndex_.find(UpperCase(name));
    if (it == valueIndex_.end() || !slots_[it->second].asRead) {
        return nullptr;
    }
    return &*slots_[it->second].asRead;
}

bool RegNode::RemoveValue(std::string_view name) {
    const auto it = valueIndex_.find(UpperCase(name));
    if (it == valueIndex_.end()) {
        return false;
    }
    Slot& slot = slots_[it->second];
    slot.live = false;
    slot.entry = {};
    slot.asRead.reset();
    valueIndex_.erase(it);
    ++deadSlots_;
    if (valueIndex_.empty()) {
        slots_.clear();
        deadSlots_ = 0;
    } else if (deadSlots_ > 16 && deadSlots_ > valueIndex_.size()) {
        Compact();
    }
    return true;
}

void RegNode::Compact() {
    std::erase_if(slots_, [](const Slot& slot) { return !slot.live; });
    deadSlots_ = 0;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        valueIndex_[UpperCase(slots_[i].entry.first)] = i;
    }
}

std::vector<const RegNode*> RegNode::Subkeys() const {
    std::vector<const RegNode*> out;
    out.reserve(subkeys_.size());
    for (const auto& entry : subkeys_) {
        out.push_back(entry.second.get());
    }
    return out;
}

std::vector<RegNode*> RegNode::Subkeys() {
    std::vector<RegNode*> out;
    out.reserve(subkeys_.size());
    for (const auto& entry : subkeys_) {
        out.push_back(entry.second.get());
    }
    return out;
}

RegNode* RegNode::FindSubkey(std::string_view name) {
    const auto it = subkeys_.find(UpperCase(name));
    return it == subkeys_.end() ? nullptr : it->second.get();
}

const RegNode* RegNode::FindSubkey(std::string_view name) const {
    const auto it = subkeys_.find(UpperCase(name));
    return it == subkeys_.end() ? nullptr : it->second.get();
}

bool RegNode::RemoveSubkey(std::string_view name) {
    const auto it = subkeys_.find(UpperCase(name));
    if (it == subkeys_.end()) {
        return false;
    }
    subkeys_.erase(it);
    return true;
}

RegNode* RegNode::FindPath(std::string_view path) {
    return const_cast<RegNode*>(std::as_const(*this).FindPath(path));
}

const RegNode* RegNode::FindPath(std::string_view path) const {
    const RegNode* node = this;
    ForEachComponent(path, [&node](std::string_view component) {
        node = node->FindSubkey(component);
        return node != nullptr;
    });
    return node;
}

RegNode& RegNode::CreatePath(std::string_view path) {
    RegNode* node = this;
    ForEachComponent(path, [&node](std::string_view component) {
        auto [it, inserted] = node->subkeys_.try_emplace(UpperCase(component));
        if (inserted) {
            it->second = std::make_unique<RegNode>(std::string(component));
        }
        node = it->second.get();
        return true;
    });
    return *node;
}

bool RegNode::RemovePath(std::string_view path) {
    const auto [parentPath, name] = SplitLast(path);
    if (name.empty()) {
        return false;
    }
    RegNode* parent = FindPath(parentPath);
    return parent != nullptr && parent->RemoveSubkey(name);
}

bool operator==(const RegNode& a, const RegNode& b) {
    if (a.name_ != b.name_ || a.ValueCount() != b.ValueCount() || a.subkeys_.size() != b.subkeys_.size()) {
        return false;
    }
    const auto aValues = a.Values();
    const auto bValues = b.Values();
    if (!std::equal(aValues.begin(), aValues.end(), bValues.begin())) {
        return false;
    }
    return std::equal(a.subkeys_.begin(), a.subkeys_.end(), b.subkeys_.begin(),
                      [](const auto& x, const auto& y) { return *x.second == *y.second; });
}

} // namespace qb::sandbox
