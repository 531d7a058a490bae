// What a serving process sets up for itself before it starts.
#pragma once

namespace plat {

// Writes to a peer that has gone fail with an error instead of ending the
// process (SIGPIPE ignored).
void IgnoreBrokenPipes();

}  // namespace plat
