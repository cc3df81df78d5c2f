#pragma once

#include <string>

// The phone page that linkhost serves, and the address it uses without --address.
struct HostAssets {
  std::string page;
  std::string style;
  std::string script;
};

HostAssets hostAssets();
std::string defaultAddress();
