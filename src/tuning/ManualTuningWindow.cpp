#include "tuning/ManualTuningWindow.h"
