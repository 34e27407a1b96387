#pragma once
// Dates as day counts from 30 December 1899, with the time of day as the fraction of a day: the form in
// which the product keeps its start date (8 bytes, a double) in the registry. Before that day the sign
// covers the time of day too: 29 December 1899, 06:00 is -1.25. Also the millisecond tick count and
// sleeping.
#include <cstdint>

namespace platform {

// Today's local date at midnight (a whole number of days).
double Today();
// The local date and time now.
double Now();

// The day count of a calendar date (proleptic Gregorian; 1899-12-30 is 0, 1900-01-01 is 2).
double EncodeDate(int year, unsigned month, unsigned day);
// The same with a time of day.
double EncodeDateTime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second);

// Milliseconds since an arbitrary start (system start on Windows); wraps around after 2^32 ms like
// GetTickCount, so compare by unsigned difference.
uint32_t TickCount();

// Suspends the calling thread; 0 gives up the rest of the time slice.
void SleepMs(uint32_t milliseconds);

}  // namespace platform
