#pragma once

#include "common/CommandLine.h"
#include "pageservice/PageServerLimits.h"
#include "pageservice/WebServing.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// serve's options: --port, --bind, --allow-host, --library, --url-root, --log and those of the limits.
std::vector<OptionSpec> ServeOptionTable();
// What one client of `ebook-pack serve` may cost, as its options set it, each option's default
// where it is absent; raises EUsageError for a value out of range. Unlike the viewer, whose only
// client is its own browser, a served book may face any client of the machine (or network).
TPageServerLimits ReadServeLimits(const CommandLine& line);
// How long a connection waits for its next request (--keep-alive SECONDS) and how many requests it
// carries at most (--max-requests N), each option's default where it is absent.
TWebServing ReadWebServing(const CommandLine& line);

// The names of every --allow-host: comma-separated, blanks around them dropped, each with or
// without ":PORT"; raises EUsageError for an empty one, a bad port or one with a path.
std::vector<std::string> AllowedHosts(const CommandLine& line);

class TPageServer;

// Binds the server to address with --allow-host's names: at port when it is above 0 (taken or
// refused), else at the first free page port, as the viewer does. False, after naming the address
// and the reason on err, when it cannot listen.
bool SwitchOnServing(
    TPageServer& server, const CommandLine& line, const std::string& address, int32_t port, std::ostream& err);

// Raises the soft limit of open descriptors to the hard limit.
void RaiseDescriptorLimit();
