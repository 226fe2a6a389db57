#include "batch/batch.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // The batched person step allocates and frees buffers of a few hundred kilobytes for every
  // person (result sets, multi-row statements). By default glibc maps the largest of them afresh
  // and hands a freed heap top back to the system each time, so that every person faulted the
  // same pages in again, which took more CPU time than the person's work. Freed memory now stays
  // with the process for the next person; the peak stays what the largest person needs.
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
  return Batch_Run(argc, argv);
}
