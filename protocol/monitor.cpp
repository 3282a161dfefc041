#include "protocol/monitor.h"

int TickCounter;
int StepCounter;
