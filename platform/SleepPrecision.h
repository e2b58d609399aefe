#pragma once

// How closely a sleep keeps to the time it asked for, which each operating
// system sets its own way.

namespace o8r {

// Lets the calling thread's short sleeps end as close to their time as the
// system allows (on Linux a timer slack of 1 ns instead of 50 us). The
// firmware loader's byte-by-byte exchange sleeps hundreds of times a page.
// Where the system has no such setting, nothing changes.
void SharpenSleeps();

}  // namespace o8r
