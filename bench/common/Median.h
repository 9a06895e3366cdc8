#pragma once

#include <algorithm>

namespace bench {

// The middle of the runs (the upper one of an even count): a run slowed by
// the rest of the machine moves it less than it moves the mean.
template <typename Values> double median(Values values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
