#include "testop/JogWindow.h"
