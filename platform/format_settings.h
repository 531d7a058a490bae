// The process's one set of format settings, standing in for the operating
// system's regional settings (English, '.' decimal separator, M/d/yyyy,
// 24-hour H:mm:ss). The player and the library share it; tests may change it.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace plat {

struct FormatSettings {
  char decimal_separator = '.';
  char thousand_separator = ',';
  char date_separator = '/';
  char time_separator = ':';
  char list_separator = ',';
  // Format patterns in the class library's notation (d, dd, m, mm, yyyy, h, nn, ss, ...).
  std::string short_date_format = "M/d/yyyy";
  std::string long_date_format = "dddd, MMMM d, yyyy";
  std::string short_time_format = "H:mm";
  std::string long_time_format = "H:mm:ss";
  std::string time_am_string = "AM";
  std::string time_pm_string = "PM";
  std::string currency_string = "$";
  int currency_format = 0;       // $1
  int negative_currency_format = 0;  // ($1)
  int currency_decimals = 2;
  int two_digit_year_century_window = 50;
  std::array<std::string, 12> short_month_names{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> long_month_names{"January", "February", "March",     "April",
                                               "May",     "June",     "July",      "August",
                                               "September", "October", "November", "December"};
  std::array<std::string, 7> short_day_names{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> long_day_names{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
  // Words read as booleans (the first of each is written); an empty list counts as "True" / "False".
  std::vector<std::string> true_bool_strs{"True"};
  std::vector<std::string> false_bool_strs{"False"};
};

// The process-wide settings. Not synchronised: set them before threads start.
FormatSettings& ProcessFormatSettings();

}  // namespace plat
