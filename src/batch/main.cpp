#include "batch/batch.h"

int main(int argc, char** argv) {
  return Batch_Run(argc, argv);
}
