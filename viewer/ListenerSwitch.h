#pragma once

class TNetHTTPListener;

// Switches the page server on at its port or, when another program (or another viewer started in
// the same millisecond) holds that port, at the next free one of the page ports 11111 to 12110 in
// turn, wrapping after the last. Only when every one is taken does the bind error reach the
// caller; any other error reaches it at once.
void SwitchOnAtFreePagePort(TNetHTTPListener& listener);
