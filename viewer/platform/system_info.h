// Processor counts for sizing the thumbnail loader.
#pragma once

int CountLogicalProcessors(); // 0 when the system cannot say
int GetProcessorCount();      // at least 1
int GetWorkerThreadCount();   // thumbnail workers: 1..8
