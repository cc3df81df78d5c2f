#include "tools/linkhost/host_assets.h"

#include <stdexcept>

// Stand-ins until the embedded phone page is built into the link library.
HostAssets hostAssets() {
  return HostAssets{"<!doctype html><html lang=\"fr\"><head><meta charset=\"utf-8\"><title>Tolvenaire</title>"
                    "<link rel=\"stylesheet\" href=\"style.css\"><script src=\"app.js\" defer></script></head>"
                    "<body></body></html>",
                    "body{font-family:sans-serif}", "\"use strict\";"};
}

std::string defaultAddress() {
  throw std::runtime_error("Adresse IPv4 locale invalide. Selectionnez une interface du PC.");
}
