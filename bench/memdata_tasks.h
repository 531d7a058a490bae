// The record store benchmark's task families, each registering its tasks'
// peers for one row count (see memdata_bench.cpp for what each measures).
#pragma once

namespace bench {

// append, open and the memory they take (memdata_append.cpp)
void RegisterAppend(int n, int rounds);
// sort_* (memdata_sort.cpp)
void RegisterSorts(int n, int rounds);
// filter, and filter after sort (memdata_filter.cpp)
void RegisterFilter(int n, int rounds, bool after_sort);
// walk (memdata_walk.cpp)
void RegisterWalk(int n, int rounds);
// locate_* and position (memdata_locate.cpp)
void RegisterLocate(int n, int rounds);
// sorted_* (memdata_sorted_edits.cpp)
void RegisterSortedEdits(int n, int rounds);
// cached_* (memdata_cached.cpp)
void RegisterCachedUpdates(int n, int rounds);
// xml_* (memdata_xml.cpp)
void RegisterXml(int n, int rounds);

}  // namespace bench
