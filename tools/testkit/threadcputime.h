#pragma once

// CPU time of the calling thread in milliseconds: on a shared machine, time spent waiting for a
// core is no work of that thread's own.
double threadCpuMs();
