#pragma once

// For the benchmark only: with KESTO_BENCH_IDLE=1 in the environment, the first time the event loop
// has nothing left to do the program prints one line on standard output,
//     idle MONOTONIC_NS SINCE_START_MS
// (the CLOCK_MONOTONIC reading of that moment, and the time since the process started by
// /proc/self/stat, which counts in 10 ms ticks), then waits for a line or the end of standard
// input, so that its resident memory can be read from outside at that very moment, and quits.
// Without the variable it does nothing. Call it before the event loop starts.
void armStartupProbe();
