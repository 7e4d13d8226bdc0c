#pragma once

#include <chrono>

// A request that the whole process end soon (vantrelctl on SIGTERM): from
// then on, waits for a lock give up after a short grace and transfers end,
// so that the process ends within a couple of seconds whatever it waits on.
void RequestStop();
bool StopRequested();
// How long a wait may still go on: unlimited (max) while no stop was
// requested, else what is left of the grace (zero once it is spent).
std::chrono::steady_clock::duration StopGraceLeft();
// Tests take the request back.
void ClearStopRequest();
