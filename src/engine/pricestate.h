#pragma once

#include <string>
#include <vector>

#include "engine/pagewalk.h"

// A price member found in a page's scripts.
struct StatePrice {
  double value = 0;
  std::string key;     // the member's name as written ("price", "salePrice")
  bool other = false;  // a price that is not the one to pay ("originalPrice", "listPrice")
};

// Every price member of the scripts, in page order.
std::vector<StatePrice> ReadStatePrices(const std::vector<StateScript>& scripts);
