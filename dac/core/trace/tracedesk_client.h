// Finding the Tracedesk installation and its object.
//
// The application names itself under the current user's key
// "Software\Tamrin\Tracedesk" (value "Self"); its object is registered under
// the classes root, which the settings store keeps below "Classes\", as
// "CLSID\<class id>\InprocServer32" with the server file as the value "@"
// (the key's default value). Objects are made by the installed creator; the
// platform has none, so without one no object is ever made.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dac/core/trace/tracedesk_interface.h"

namespace dac {

// Makes the object of a class id and answers it for an interface id; null
// when it cannot.
using TTracedeskCreator =
    std::function<std::shared_ptr<ITracedesk>(const std::string& class_id, const std::string& interface_id)>;

// Installs a creator and returns the previous one; an empty one restores the
// platform's.
TTracedeskCreator SetTracedeskCreator(TTracedeskCreator creator);

// The application's file path; empty when not installed.
std::string WhereMonitor();
// The file WhereMonitor names exists.
bool HasMonitor();
// The object, or null when its class is not registered, its server file is
// missing or the creator makes none. An application installed without its
// object raises "Current Tracedesk version is out of date. Please update.".
std::shared_ptr<ITracedesk> GetTracedesk();
// The object's version, or "not available".
std::string GetTracedeskVersion();

}  // namespace dac
