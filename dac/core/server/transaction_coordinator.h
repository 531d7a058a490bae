// The distributed-transaction coordinator as this system reaches it: its
// client library, loaded once on demand, whose one entry point hands out the
// transaction dispenser; the dispenser begins transactions that commit or
// abort. Every call answers a result code, negative for a failure.
//
// There is no coordinator on this platform: the default loader finds no
// library, so InitMSDTC fails as when the library is missing. Tests install
// a loader of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace dac {

using HResult = int32_t;
constexpr bool Failed(HResult result) { return result < 0; }

// The coordinator's isolation levels.
constexpr int32_t kIsolationReadCommitted = 4096;
constexpr int32_t kIsolationSerializable = 1048576;

class ITransaction {
 public:
  virtual ~ITransaction() = default;
  // Not retaining.
  virtual HResult Commit() = 0;
  // Without a reason, not retaining, not waiting.
  virtual HResult Abort() = 0;
};

class ITransactionDispenser {
 public:
  virtual ~ITransactionDispenser() = default;
  virtual HResult BeginTransaction(int32_t isolation_level, std::shared_ptr<ITransaction>& transaction) = 0;
};

// DtcGetTransactionManagerEx: the local coordinator's dispenser.
using TDtcGetTransactionManagerEx = std::function<HResult(std::shared_ptr<ITransactionDispenser>& dispenser)>;

// The coordinator's client library once loaded.
class ICoordinatorLibrary {
 public:
  virtual ~ICoordinatorLibrary() = default;
  // The library's DtcGetTransactionManagerEx; empty when it lacks it.
  virtual TDtcGetTransactionManagerEx FindTransactionManagerEntry() = 0;
};

// Finds and loads the library; null when there is none.
using TCoordinatorLibraryLoader = std::function<std::unique_ptr<ICoordinatorLibrary>()>;

// Installs a loader and returns the previous one; an empty loader restores
// the platform's default.
TCoordinatorLibraryLoader SetCoordinatorLibraryLoader(TCoordinatorLibraryLoader loader);

// Under its lock, loads the library once: "Can not find xolehlp.dll" when
// there is none; a library without the entry point leaves the stub that
// raises "Function is not linked".
void InitMSDTC();
// Unloads the library; the entry point goes back to the stub.
void FreeMSDTC();
// Calls the bound entry point.
HResult DtcGetTransactionManagerEx(std::shared_ptr<ITransactionDispenser>& dispenser);

}  // namespace dac
