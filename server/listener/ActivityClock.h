#pragma once

// The current date and time as days since 30 December 1899, the unit of the connections' last
// activity stamps and of the session timeout.
double NowDateTime();
