#include "testop/InputWindow.h"
