// Start-up and shutdown of the MySQL provider. A host program calls
// MySQLStartUp before it uses the library and MySQLShutdown when it is done.
// Neither raises, and in a host that never connects neither touches the
// network or a file, so any host can run them unconditionally.
//
// Calls nest: only the first start-up does its work (the record store's
// blob compression hooks become the protocol's zlib routines) and only the
// shutdown that matches it clears the MySQL connection pools.
#pragma once

namespace dac {

void MySQLStartUp() noexcept;
void MySQLShutdown() noexcept;

}  // namespace dac
