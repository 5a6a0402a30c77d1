#pragma once

namespace veltrane {

// A row's mark, which is also the index of its picture among the fifteen mark icons.
using MarkState = int;

namespace Mark {
constexpr MarkState None = -1;
constexpr MarkState Delete = 0;
constexpr MarkState Question = 1;
constexpr MarkState KnownSpammer = 2;
constexpr MarkState FirstException = 3; // also the default icon of an exception rule
constexpr MarkState LastException = 14;
constexpr int IconCount = 15;
} // namespace Mark

// Only delete marks and known-spammer marks are removed from the server.
constexpr bool isMarkedForDeletion(MarkState mark) {
    return mark == Mark::Delete || mark == Mark::KnownSpammer;
}

} // namespace veltrane
