// The small enumerations and sets that datasets, fields, parameters and the
// layers above share. Ordinals are fixed: callers store and compare them.
#pragma once

#include <cstdint>

#include "dac/framework/classes/small_set.h"

namespace dac {

enum TDataSetState : uint8_t {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening,
};

enum TDataEvent : uint8_t {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll,
};

enum TUpdateStatus : uint8_t { usUnmodified, usModified, usInserted, usDeleted };
using TUpdateStatusSet = TSet<TUpdateStatus>;

// Scoped: the record store has update kinds of its own in this namespace.
enum class TUpdateKind : uint8_t { ukModify, ukInsert, ukDelete };

// Int-backed: handlers may store values outside the named ones.
enum TUpdateAction : int { uaFail = 0, uaAbort = 1, uaSkip = 2, uaRetry = 3, uaApplied = 4 };

enum TDataAction : uint8_t { daFail, daAbort, daRetry };

enum TUpdateRecordType : uint8_t { rtModified, rtInserted, rtDeleted, rtUnmodified };
using TUpdateRecordTypes = TSet<TUpdateRecordType>;

enum TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

enum TProviderFlag : uint8_t { pfInUpdate, pfInWhere, pfInKey, pfHidden };
using TProviderFlags = TSet<TProviderFlag>;

enum TAutoRefreshFlag : uint8_t { arNone, arAutoInc, arDefault };

enum TFieldAttribute : uint8_t { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = TSet<TFieldAttribute>;

enum TIndexOption : uint8_t { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression };
using TIndexOptions = TSet<TIndexOption>;

enum TParamType : uint8_t { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

enum TBlobStreamMode : uint8_t { bmRead, bmWrite, bmReadWrite };

enum TLocateOption : uint8_t { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSet<TLocateOption>;

enum TFilterOption : uint8_t { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TSet<TFilterOption>;

enum TGetMode : uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : uint8_t { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TResyncModeFlag : uint8_t { rmExact, rmCenter };
using TResyncMode = TSet<TResyncModeFlag>;

}  // namespace dac
