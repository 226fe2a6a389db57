#include "driver/driver.h"

int main(int argc, char** argv) { return Drv_Run(argc, argv); }
