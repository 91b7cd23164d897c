#include "tuning/AutoTuningWindow.h"
