#include "tuning/StripChart.h"
