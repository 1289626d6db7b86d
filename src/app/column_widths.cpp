#include "app/column_widths.h"

#include <algorithm>
#include <numeric>

namespace qb {

namespace {

// Narrowest first: each takes what it wants or an even share of what is left, whichever is less.
void FillEvenly(int available, const std::vector<int>& wanted, const std::vector<std::size_t>& columns,
                int minimum, std::vector<int>& widths) {
    std::vector<std::size_t> order = columns;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return wanted[a] < wanted[b]; });
    int remaining = available;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const int share = remaining / static_cast<int>(order.size() - k);
        const int width = std::max(minimum, std::min(wanted[order[k]], share));
        widths[order[k]] = width;
        remaining -= width;
    }
}

} // namespace

std::vector<int> ShareWidth(int available, const std::vector<int>& wanted, int minimum,
                            std::size_t flexible) {
    std::vector<int> widths(wanted.size(), minimum);
    const long total = std::accumulate(wanted.begin(), wanted.end(), 0L);
    if (total <= available) {
        widths = wanted;
        if (flexible < widths.size()) {
            widths[flexible] += available - static_cast<int>(total);
        }
        return widths;
    }
    std::vector<std::size_t> others;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (i != flexible) {
            others.push_back(i);
        }
    }
    if (flexible >= wanted.size()) {
        FillEvenly(available, wanted, others, minimum, widths);
        return widths;
    }
    // The flexible column gives way first, down to a third of the room; the others then keep what they want
    // when that is left, or share it.
    const int floor = std::max(minimum, available / 3);
    const long othersWanted = total - wanted[flexible];
    if (othersWanted + floor <= available) {
        for (const std::size_t i : others) {
            widths[i] = wanted[i];
        }
        widths[flexible] = available - static_cast<int>(othersWanted);
        return widths;
    }
    widths[flexible] = std::min(wanted[flexible], floor);
    FillEvenly(available - widths[flexible], wanted, others, minimum, widths);
    return widths;
}

} // namespace qb
