#pragma once

#include <string>

// The host a reader opens for a server bound to the address: the address itself, but for one
// bound to every address (0.0.0.0) the machine's first address that is not loopback, else its
// host name, else the address as it is.
std::string ReachableHost(const std::string& boundAddress);
