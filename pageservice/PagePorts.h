#pragma once

#include <cstdint>

class TNetListener;

// The ports a page server draws from when none is asked for: 11111 to 12110.
inline constexpr int32_t kFirstPagePort = 11111;
inline constexpr int32_t kPagePortCount = 1000;

// The page port after this one, wrapping after the last; a port outside the range is followed by
// the first.
int32_t NextPagePort(int32_t port);

// Switches the listener on at its port or, when another program (or another viewer started in the
// same millisecond) holds that port, at the next free page port in turn. Only when every one is
// taken does ENetAddressInUse reach the caller; any other error reaches it at once.
void SwitchOnAtFreePagePort(TNetListener& listener);
